// "Ссилка": the link target picker of the property form's "Путь" button. It shows the whole
// document; OK makes the form's property a link to the chosen property.
#pragma once

#include <QDialog>
#include <cstdint>

class CMainFrame;
class CRecord;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CLinksTree : public QDialog {
  Q_OBJECT
 public:
  explicit CLinksTree(CMainFrame* frame);

  QTreeWidget* tree() const { return tree_; }
  // The item of the record, null when the tree has none.
  QTreeWidgetItem* ItemOf(uint32_t id) const;

 protected:
  void accept() override;

 private:
  void Fill();
  void InsertRecord(QTreeWidgetItem* parent, CRecord* record);
  CRecord* ChosenRecord() const;

  CMainFrame* frame_;
  QTreeWidget* tree_;
  QPushButton* ok_;
};
