#include "ui/dialogs/dialog_buttons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog, const QString& cancelText,
                                      QPushButton** okOut) {
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(QCoreApplication::translate("DialogButtons", "OK"),
                                       QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(cancelText, QDialogButtonBox::RejectRole);
  ok->setObjectName(QStringLiteral("okButton"));
  cancel->setObjectName(QStringLiteral("cancelButton"));
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  if (okOut) *okOut = ok;
  return buttons;
}
