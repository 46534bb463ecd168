// The widgets of the form's three templates: 131 empty, 136 the record form (group, object,
// atom), 135 the property form. Object names are stable so tests and styles can find them.
#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

enum FormTemplate : int {
  kFormEmpty = 131,
  kFormProperty = 135,
  kFormRecord = 136,
};

struct FormControls {
  QLabel* kind = nullptr;              // 1017
  QLabel* id = nullptr;                // 1018
  QLineEdit* name = nullptr;           // 1000
  QGroupBox* atomTypeFrame = nullptr;  // 1020 "Тип"
  QLineEdit* atomType = nullptr;       // 1002
  QPushButton* apply = nullptr;        // 1012
  QComboBox* type = nullptr;           // 1015
  QCheckBox* eoc = nullptr;            // 1016
  QPlainTextEdit* value = nullptr;     // 1001
  QLabel* writeState = nullptr;        // where the value stands with the server
  QListWidget* flags = nullptr;        // 1014
  QPushButton* path = nullptr;         // 1040
  QListWidget* linkTarget = nullptr;   // 1021
  QListWidget* incoming = nullptr;     // 1022
};

// Builds the template's widgets into `page`.
FormControls BuildForm(int formTemplate, QWidget* page);
