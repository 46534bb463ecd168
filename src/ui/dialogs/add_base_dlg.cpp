#include "ui/dialogs/add_base_dlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app/modal_runner.h"
#include "ui/dialogs/dialog_buttons.h"
#include "ui/form/cp1251_input.h"

CAddBaseDlg::CAddBaseDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CAddBaseDlg"));
  auto* frame = new QGroupBox(tr("Название"), this);
  nameEdit_ = new QLineEdit(frame);
  nameEdit_->setObjectName(QStringLiteral("nameEdit"));
  nameEdit_->setMinimumWidth(300);
  (new QVBoxLayout(frame))->addWidget(nameEdit_);

  QDialogButtonBox* buttons = MakeOkCancelButtons(this, tr("Отменить"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
  setSizeGripEnabled(false);
}

int CAddBaseDlg::RunModal(std::string* name, const QString& caption) {
  name_ = name;
  setWindowTitle(caption);
  nameEdit_->clear();
  nameEdit_->setFocus();
  return ::RunModal(*this);
}

void CAddBaseDlg::accept() {
  // An empty name keeps the dialog open without a word; only cancel leaves it.
  if (nameEdit_->text().isEmpty()) return;
  std::string name;
  if (!EncodeUserText(this, tr("Название"), nameEdit_->text(), &name)) return;
  if (name_) *name_ = std::move(name);
  QDialog::accept();
}
