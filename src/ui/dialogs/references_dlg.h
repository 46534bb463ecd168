// The list of LINK_TO properties that point at a property or into a branch. It stays open
// beside the window; a double-click selects the link in the tree.
#pragma once

#include <QDialog>
#include <cstdint>

class CMainFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;

class CReferencesDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CReferencesDlg(CMainFrame* frame);

  // Lists the links into the record's branch (a property: into the property).
  void ShowFor(uint32_t recordId);
  QListWidget* list() const { return list_; }

 private:
  void OnActivated(QListWidgetItem* item);

  CMainFrame* frame_;
  QLabel* title_;
  QListWidget* list_;
};
