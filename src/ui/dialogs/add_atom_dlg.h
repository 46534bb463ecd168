// Asks for the name and type number of a new atom. The spin steps the type between 0 and 20;
// digits typed into the field are taken as they are and kept to their low 8 bits.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLineEdit;
class QToolButton;

class CAddAtomDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAddAtomDlg(QWidget* parent = nullptr);
  int RunModal(std::string* name, uint8_t* type);

 protected:
  void accept() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int delta);

  QLineEdit* nameEdit_;
  QLineEdit* typeEdit_;
  QToolButton* spinUp_;
  QToolButton* spinDown_;
  std::string* name_ = nullptr;
  uint8_t* type_ = nullptr;
};
