// The OK and cancel row that the editor's dialogs share.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QPushButton;

// Adds "OK" (the default button, object name "okButton") and a cancel button (object name
// "cancelButton") wired to the dialog's accept and reject. `ok` receives the OK button.
QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog, const QString& cancelText,
                                      QPushButton** ok = nullptr);
