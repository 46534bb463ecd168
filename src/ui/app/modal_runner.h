// Every modal dialog and message box of the editor runs through RunModal, so a test can answer
// the real dialog (fill its widgets, press its buttons) instead of a user.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

// Runs the dialog modally; returns its result code.
int RunModal(QDialog& dialog);

// With a hook installed, RunModal hands the dialog to it instead of entering a modal loop; the
// hook's return value is the dialog's result. An empty function restores the normal behaviour.
using ModalHook = std::function<int(QDialog&)>;
void SetModalHook(ModalHook hook);

// Message boxes of the editor, built as QMessageBox dialogs and run through RunModal.
void ShowError(QWidget* parent, const QString& caption, const QString& text);
void ShowInformation(QWidget* parent, const QString& caption, const QString& text);
// "Сохранить изменения?" with save, discard and cancel.
enum class SaveAnswer { kSave, kDiscard, kCancel };
SaveAnswer AskSaveChanges(QWidget* parent, const QString& documentName);
// A save refused because the file is read-only: `reason` and the offer to save under another
// name. True for "Сохранить как".
bool AskSaveElsewhere(QWidget* parent, const QString& reason);
