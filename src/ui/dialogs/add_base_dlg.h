// Asks for the name of a new group or object; the caller gives the caption.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

class CAddBaseDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAddBaseDlg(QWidget* parent = nullptr);
  // On OK `name` holds the entered name (windows-1251).
  int RunModal(std::string* name, const QString& caption);

 protected:
  void accept() override;

 private:
  QLineEdit* nameEdit_;
  std::string* name_ = nullptr;
};
