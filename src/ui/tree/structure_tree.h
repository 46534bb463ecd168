// The structure tree: one item per record under a single "Root" item. Items keep only the
// record's identifier; the record is looked up in the document whenever it is needed.
#pragma once

#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
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
  // The item that carries this identifier (never "Root"); null when there is none.
  QTreeWidgetItem* FindItemById(uint32_t id);

  // Drag and drop. A plain drop moves the dragged record with its branch under the target by
  // the kind rules; a Shift drop reorders it among its siblings. Ctrl changes nothing: a drop
  // is always a move, so no item ever stands for a record that is not there.
  void OnBeginDrag(QTreeWidgetItem* item, const QPoint& point);
  void OnDragMove(const QPoint& point);
  void OnDrop(Qt::KeyboardModifiers keys);
  void CancelDrag();
  bool dragging() const { return dragActive_; }
  QTreeWidgetItem* draggedItem() { return ItemAt(draggedItem_); }
  QTreeWidgetItem* dropHighlight() { return ItemAt(dropHighlight_); }
  QWidget* dragImage() const { return dragImage_; }
  static bool CanDrop(int draggedKind, int targetKind);
  static bool CanPlaceAfter(int draggedKind, int targetKind);
  enum class MoveMode { kAsChild, kAsSibling };
  // Moves the item with its branch to its new place and returns it, collapsed and unselected;
  // the item itself when it already is there (as a child), null when the move is refused.
  QTreeWidgetItem* MoveBranch(QTreeWidgetItem* item, QTreeWidgetItem* target, MoveMode mode);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

 private:
  int ItemKind(const QTreeWidgetItem* item) const;
  void SetDropHighlight(QTreeWidgetItem* item);
  void EndDrag();

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

  QPersistentModelIndex pressedItem_;  // where the left button went down, for a drag start
  QPoint pressPoint_;
  bool dragActive_ = false;
  QPersistentModelIndex draggedItem_;  // invalid also when a rebuild took the item away
  QPersistentModelIndex dropHighlight_;
  QPointer<QWidget> dragImage_;  // the dragged item's picture under the cursor
  QPoint dragHotSpot_;
};
