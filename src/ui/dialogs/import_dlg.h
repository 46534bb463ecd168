// "Импорт даных": shows an interchange file as a tree with check boxes and copies the ticked
// branches under the import target; a .c2ko file is merged at once instead.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <cstdint>
#include <memory>

class CImportParser;
class CMainFrame;
struct CImportItem;

// The tree of the import dialog: a mouse click on an item's box gives all boxes below it the
// state the item is about to take; the keyboard toggles the item alone.
class CImportTreeCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

class CImportDlg : public QDialog {
  Q_OBJECT
 public:
  // `targetId`: the frame's selected record when the command ran (0: none).
  CImportDlg(CMainFrame* frame, uint32_t targetId);
  ~CImportDlg() override;

  // Asks for a file first; cancelling that closes the dialog as cancelled.
  int RunModal();
  CImportTreeCtrl* tree() const { return tree_; }

 private:
  // False when the file dialog was cancelled, or the reading of the file was stopped.
  bool ChooseFile();
  // False when the user stopped the reading.
  bool LoadXml(const QString& path);
  void ImportC2ko(const QString& path);
  void OnMore();
  void OnClear();
  void OnApply();

  CMainFrame* frame_;
  uint32_t targetId_;
  CImportTreeCtrl* tree_;
  std::unique_ptr<CImportParser> parser_;
  std::unique_ptr<CImportItem> root_;
};
