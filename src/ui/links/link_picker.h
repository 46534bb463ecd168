// "Ссилка": the link target picker of the property form's "Путь" button. It shows the whole
// document through a record model of its own; OK makes the form's property a link to the
// chosen property.
#pragma once

#include <QDialog>
#include <QModelIndex>
#include <cstdint>

class CMainFrame;
class CRecord;
class CRecordModel;
class QPushButton;
class QTreeView;

class CLinksTree : public QDialog {
  Q_OBJECT
 public:
  explicit CLinksTree(CMainFrame* frame);

  QTreeView* tree() const { return tree_; }
  // The row of the record, invalid when the document has none.
  QModelIndex ItemOf(uint32_t id) const;

 protected:
  void accept() override;

 private:
  CRecord* ChosenRecord() const;

  CMainFrame* frame_;
  CRecordModel* model_;
  QTreeView* tree_;
  QPushButton* ok_;
};
