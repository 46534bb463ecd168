#include "ui/app/modal_runner.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
ModalHook& Hook() {
  static ModalHook hook;
  return hook;
}

int RunBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
  return RunModal(box);
}
}  // namespace

int RunModal(QDialog& dialog) {
  if (Hook()) {
    // The hook sees the dialog as the user would: set up and shown.
    dialog.show();
    int result = Hook()(dialog);
    dialog.hide();
    return result;
  }
  return dialog.exec();
}

void SetModalHook(ModalHook hook) {
  Hook() = std::move(hook);
}

void ShowError(QWidget* parent, const QString& caption, const QString& text) {
  RunBox(parent, QMessageBox::Critical, caption, text);
}

void ShowInformation(QWidget* parent, const QString& caption, const QString& text) {
  RunBox(parent, QMessageBox::Information, caption, text);
}

SaveAnswer AskSaveChanges(QWidget* parent, const QString& documentName) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Kandrel"),
                  QCoreApplication::translate("ModalRunner", "Сохранить изменения?"),
                  QMessageBox::NoButton, parent);
  box.setInformativeText(documentName);
  QPushButton* save = box.addButton(QCoreApplication::translate("ModalRunner", "Сохранить"),
                                    QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QCoreApplication::translate("ModalRunner", "Не сохранять"),
                                       QMessageBox::DestructiveRole);
  QPushButton* cancel =
      box.addButton(QCoreApplication::translate("ModalRunner", "Отмена"), QMessageBox::RejectRole);
  save->setObjectName(QStringLiteral("saveButton"));
  discard->setObjectName(QStringLiteral("discardButton"));
  cancel->setObjectName(QStringLiteral("cancelButton"));
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  RunModal(box);
  if (box.clickedButton() == save) return SaveAnswer::kSave;
  if (box.clickedButton() == discard) return SaveAnswer::kDiscard;
  return SaveAnswer::kCancel;
}

bool AskSaveElsewhere(QWidget* parent, const QString& reason) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Kandrel"), reason, QMessageBox::NoButton,
                  parent);
  box.setInformativeText(
      QCoreApplication::translate("ModalRunner",
                                  "Файл доступен только для чтения. Сохранить документ под другим "
                                  "именем?"));
  QPushButton* saveAs = box.addButton(QCoreApplication::translate("ModalRunner", "Сохранить как"),
                                      QMessageBox::AcceptRole);
  QPushButton* cancel =
      box.addButton(QCoreApplication::translate("ModalRunner", "Отмена"), QMessageBox::RejectRole);
  saveAs->setObjectName(QStringLiteral("saveAsButton"));
  cancel->setObjectName(QStringLiteral("cancelButton"));
  box.setDefaultButton(saveAs);
  box.setEscapeButton(cancel);
  RunModal(box);
  return box.clickedButton() == saveAs;
}
