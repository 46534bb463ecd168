// The structure tree: one item per record under a single "Root" item. Items keep only the
// record's identifier; the record is looked up in the document whenever it is needed.
#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <cstdint>
#include <string>

#include "model/tree_view.h"

class CMainFrame;
class CTarnelDoc;
class TreeIcons;

class CLeftView : public QTreeWidget, public ITreeView {
  Q_OBJECT
 public:
  CLeftView(CMainFrame* frame, CTarnelDoc* doc, QWidget* parent = nullptr);
  ~CLeftView() override;

  // ITreeView, used by the document while it builds the tree.
  void DeleteAllItems() override;
  TreeItemHandle InsertRoot() override;
  TreeItemHandle InsertItem(TreeItemHandle parent, const std::string& label, int image,
                            int selectedImage, uint32_t id) override;

  // Sets the tree up for a new or opened document: rebuilds it from the document and reports
  // "nothing selected" to the frame.
  void OnInitialUpdate();
  // After the document rebuilt the tree by itself: nothing selected, and the frame told so.
  void ResetSelection();

  QTreeWidgetItem* AddGroupItem(const std::string& label, uint32_t id);
  QTreeWidgetItem* AddObjectItem(const std::string& label, uint32_t id);
  QTreeWidgetItem* AddAtomItem(const std::string& label, uint32_t id);
  QTreeWidgetItem* AddPropertyItem(const std::string& label, uint32_t id);
  void DeleteCurrentItem();
  // Follows the labels of `path` ("/Group/Object/Atom/Property") from `start`'s children
  // (null: those of "Root"), beginning at byte `position`.
  QTreeWidgetItem* FindItemByPath(const std::string& path, QTreeWidgetItem* start, size_t position);
  void RefreshItemIcon(QTreeWidgetItem* item);
  // Makes the item current and reports it, also when it already was current: after a link
  // pick the target is the tree's current item while the form still shows the source.
  void SelectItem(QTreeWidgetItem* item);
  void SetItemLabel(QTreeWidgetItem* item, const std::string& label);
  void RefreshBranchIcons(QTreeWidgetItem* item);

  // The add commands: each runs its dialog and, when confirmed, creates the record under the
  // frame's selected record.
  void OnAddGroup();
  void OnAddObject(uint32_t parentId);
  void OnAddAtom(uint32_t parentId);
  void OnAddProperty(uint32_t parentId);

  QTreeWidgetItem* currentItemHandle() const { return currentItem_; }
  QTreeWidgetItem* rootItem() const { return rootItem_; }
  static uint32_t ItemId(const QTreeWidgetItem* item);
  // Persistent references for the frame, which must never reach a deleted item.
  QPersistentModelIndex PersistentIndex(QTreeWidgetItem* item);
  QTreeWidgetItem* ItemAt(const QPersistentModelIndex& index);
  // Hands a tree built by a rebuild to the widget; every operation that needs the items in
  // the widget calls it, and the event loop does at the latest.
  void EnsureAttached();

 private:
  void OnSelChanged(QTreeWidgetItem* item);
  QTreeWidgetItem* MakeItem(const std::string& label, int image, uint32_t id);
  QTreeWidgetItem* NewItem(QTreeWidgetItem* parent, const std::string& label, int image,
                           uint32_t id);
  void SetImage(QTreeWidgetItem* item, int image);
  bool DocumentIsFull();

  CMainFrame* frame_;
  CTarnelDoc* doc_;
  const TreeIcons& icons_;
  QTreeWidgetItem* currentItem_ = nullptr;
  QTreeWidgetItem* rootItem_ = nullptr;
  QTreeWidgetItem* pendingRoot_ = nullptr;  // a rebuilt tree not yet in the widget
  bool building_ = false;
  bool clearing_ = false;
};
