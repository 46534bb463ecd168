#include "ui/app/frame_files.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>
#include <new>

#include "ui/app/command_ids.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/app/recovery_keeper.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/network/frame_network.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_dock.h"

namespace {

// Read when a dialog opens, so the translation in force applies.
QString Filter() {
  return CMainFrame::tr("Kandrel Files (*.kdl) ");
}
const QString kRecentGroup = QStringLiteral("Recent File List");

QStringList ReadRecent() {
  QSettings settings;
  settings.beginGroup(kRecentGroup);
  QStringList files;
  for (int i = 1; i <= cmd::kFileMruCount; ++i) {
    QString f = settings.value(QStringLiteral("File%1").arg(i)).toString();
    if (!f.isEmpty()) files << f;
  }
  return files;
}

void WriteRecent(const QStringList& files) {
  QSettings settings;
  settings.beginGroup(kRecentGroup);
  for (int i = 1; i <= cmd::kFileMruCount; ++i) {
    if (i <= files.size())
      settings.setValue(QStringLiteral("File%1").arg(i), files[i - 1]);
    else
      settings.remove(QStringLiteral("File%1").arg(i));
  }
}

QString DocumentName(const QString& path) {
  return path.isEmpty() ? QStringLiteral("Kandrel") : QFileInfo(path).fileName();
}

}  // namespace

void FrameFiles::SetModified(bool modified) {
  modified_ = modified;
  // Unmodified means as saved (or as opened): undoing back to here clears the mark again.
  if (!modified) state_.history.MarkClean();
  UpdateTitle();
  if (CRecoveryKeeper* recovery = frame_->recovery()) {
    if (modified)
      recovery->DocumentChanged();
    else
      recovery->Forget();
  }
}

void FrameFiles::UpdateTitle() {
  frame_->setWindowTitle(QStringLiteral("%1[*] - Kandrel").arg(DocumentName(filePath_)));
  frame_->setWindowModified(modified_);
}

void FrameFiles::BindTo(const QString& path) {
  filePath_ = QFileInfo(path).absoluteFilePath();
  UpdateTitle();
}

bool FrameFiles::MaySwitchDocument() {
  if (!modified_) return true;
  switch (AskSaveChanges(frame_, DocumentName(filePath_))) {
    case SaveAnswer::kSave:
      return SaveDocument();
    case SaveAnswer::kDiscard:
      return true;
    case SaveAnswer::kCancel:
      return false;
  }
  return false;
}

bool FrameFiles::NewDocument() {
  if (!MaySwitchDocument()) return false;
  state_.doc.OnNewDocument();
  filePath_.clear();
  frame_->InitialUpdate();
  SetModified(false);
  if (CWatchDock* watch = frame_->watchDock()) watch->FileOpened(filePath_);
  return true;
}

bool FrameFiles::OpenDocument(const QString& givenPath) {
  if (!MaySwitchDocument()) return false;
  QString path = givenPath;
  if (path.isEmpty()) {
    QFileDialog dlg(frame_, CMainFrame::tr("Открыть"));
    dlg.setObjectName(QStringLiteral("openDialog"));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(Filter());
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    path = dlg.selectedFiles().first();
  }
  // The document changes only when the whole file has been read.
  if (!ReadInto(path)) return false;
  filePath_ = QFileInfo(path).absoluteFilePath();
  frame_->InitialUpdate();
  frame_->GetTreeView()->OpenRootAndGroups();
  SetModified(false);
  if (CWatchDock* watch = frame_->watchDock()) watch->FileOpened(filePath_);
  AddRecentFile(filePath_);
  return true;
}

bool FrameFiles::ReadInto(const QString& path) {
  CProgressDialog progress(frame_, CMainFrame::tr("Открытие файла…"), true);
  try {
    state_.doc.OpenFile(QFile::encodeName(path).toStdString(), &progress);
  } catch (const OperationCancelled&) {
    // Stopped before the document was touched: the open one stays as it was.
    frame_->statusBar()->showMessage(CMainFrame::tr("Открытие отменено"), 8000);
    return false;
  } catch (const DocumentFileError& e) {
    progress.Finish();
    ShowError(frame_, QStringLiteral("Kandrel"), QString::fromStdString(e.what()));
    return false;
  } catch (const std::bad_alloc&) {
    // The file is read into a document of its own: the open one is untouched.
    progress.Finish();
    ShowError(frame_, QStringLiteral("Kandrel"),
              CMainFrame::tr("Не хватило памяти, чтобы открыть %1. Открытый документ не изменён.")
                  .arg(QDir::toNativeSeparators(path)));
    return false;
  }
  return true;
}

bool FrameFiles::OpenRecoveryCopy(const QString& copyPath, const QString& originalPath) {
  if (!MaySwitchDocument()) return false;
  if (!ReadInto(copyPath)) return false;
  SetModified(false);  // the old document's copy goes
  filePath_ = originalPath.isEmpty() ? QString() : QFileInfo(originalPath).absoluteFilePath();
  frame_->InitialUpdate();
  frame_->GetTreeView()->OpenRootAndGroups();
  SetModified(true);
  if (CWatchDock* watch = frame_->watchDock()) watch->FileOpened(filePath_);
  return true;
}

bool FrameFiles::SaveTo(const QString& path) {
  try {
    // A save is not stopped half way: the dialog only shows how far it has come.
    CProgressDialog progress(frame_, CMainFrame::tr("Сохранение файла…"), false);
    // Saving derives each pattern from its text; the patterns that change go to the server.
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kSave);
    state_.doc.SaveFile(QFile::encodeName(path).toStdString(), &progress);
  } catch (const ReadOnlyFileError& e) {
    // The read-only file stays as it is; the document may still go elsewhere.
    if (AskSaveElsewhere(frame_, QString::fromStdString(e.what()))) return SaveDocumentAs();
    return false;
  } catch (const DocumentFileError& e) {
    ShowError(frame_, QStringLiteral("Kandrel"), QString::fromStdString(e.what()));
    return false;
  }
  filePath_ = QFileInfo(path).absoluteFilePath();
  SetModified(false);
  if (CWatchDock* watch = frame_->watchDock()) watch->FileSaved(filePath_);
  AddRecentFile(filePath_);
  return true;
}

bool FrameFiles::SaveDocument() {
  return filePath_.isEmpty() ? SaveDocumentAs() : SaveTo(filePath_);
}

bool FrameFiles::SaveDocumentAs() {
  QFileDialog dlg(frame_, CMainFrame::tr("Сохранить как"));
  dlg.setObjectName(QStringLiteral("saveDialog"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilter(Filter());
  dlg.setDefaultSuffix(QStringLiteral("kdl"));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.selectFile(filePath_.isEmpty() ? QStringLiteral("Kandrel.kdl") : filePath_);
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  QString path = dlg.selectedFiles().first();
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".kdl");
  return SaveTo(path);
}

void FrameFiles::AddRecentFile(const QString& path) {
  QStringList files = ReadRecent();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > cmd::kFileMruCount) files.removeLast();
  WriteRecent(files);
  LoadRecentFiles();
}

void FrameFiles::LoadRecentFiles() {
  QStringList files = ReadRecent();
  for (int i = 0; i < cmd::kFileMruCount; ++i) {
    QAction* a = frame_->action(cmd::kFileMru1 + i);
    bool used = i < files.size();
    a->setVisible(used);
    a->setProperty("path", used ? files[i] : QString());
    if (used) {
      QString shown = QFileInfo(files[i]).fileName();
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
      a->setStatusTip(files[i]);
    }
  }
  frame_->recentFilesPlaceholder()->setVisible(files.isEmpty());
}
