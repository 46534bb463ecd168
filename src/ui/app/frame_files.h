// The frame's files: New, Open, Save, Save As, the recent-file list and the question about
// unsaved changes. It keeps the document's path and its modified mark.
#pragma once

#include <QString>

class CMainFrame;
struct FrameState;

class FrameFiles {
 public:
  FrameFiles(CMainFrame* frame, FrameState& state) : frame_(frame), state_(state) {}

  // Each asks about unsaved changes first where it would replace the document; false when
  // nothing happened (cancelled or failed).
  bool NewDocument();
  bool OpenDocument(const QString& path);
  bool SaveDocument();
  bool SaveDocumentAs();
  bool OpenRecoveryCopy(const QString& copyPath, const QString& originalPath);
  const QString& filePath() const { return filePath_; }
  // The document is saved to `path` from now on; nothing is written yet.
  void BindTo(const QString& path);
  // Asks "Сохранить изменения?" when the document is modified; false when the user cancels or
  // the save fails.
  bool MaySwitchDocument();
  void SetModified(bool modified);
  // Re-reads the recent-file list from the settings into the "Файл" menu.
  void LoadRecentFiles();

 private:
  void UpdateTitle();
  void AddRecentFile(const QString& path);
  bool SaveTo(const QString& path);
  // Reads a .kdl file into the document with a progress dialog; false (and the document as it
  // was) when it failed, with a message, or was stopped.
  bool ReadInto(const QString& path);

  CMainFrame* frame_;
  FrameState& state_;
  QString filePath_;
  bool modified_ = false;
};
