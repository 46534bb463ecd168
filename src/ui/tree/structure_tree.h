// The structure tree: a view of the document through CRecordModel, "Root" at the top with the
// groups under it. It keeps nothing of the records; what it remembers across a reset of the
// model (the open branches and the current row) it keeps by identifier path.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QTreeView>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CMainFrame;
class CRecord;
class CRecordModel;
class CTarnelDoc;

class CLeftView : public QTreeView {
  Q_OBJECT
 public:
  CLeftView(CMainFrame* frame, CTarnelDoc* doc, QWidget* parent = nullptr);
  ~CLeftView() override;

  CRecordModel* recordModel() const { return model_; }

  // Sets the tree up for a new or opened document: everything collapsed but what the user
  // opens, nothing selected, and the frame told so.
  void OnInitialUpdate();
  // Nothing selected, and the frame told so.
  void ResetSelection();

  // The index of a record (0: "Root"); invalid when the document has no such record.
  QModelIndex IndexOfId(uint32_t id) const;
  uint32_t IdOf(const QModelIndex& index) const;
  // The identifier of the current row (0 for "Root" and for none).
  uint32_t currentId() const;
  QModelIndex IndexOfRecord(const CRecord* record) const;
  // Makes the row current and reports it, also when it already was current: after a link
  // pick the target is the tree's current row while the form still shows the source.
  void SelectIndex(const QModelIndex& index);
  // Opens the branches above the record, makes it current (reported) and scrolls to it.
  void Reveal(uint32_t id);
  void SetExpanded(uint32_t id, bool open);
  // Opens "Root" and every group, so an opened file or a received base shows the plant.
  void OpenRootAndGroups();
  bool IsExpanded(uint32_t id) const;
  // Where the current row goes when the record's row leaves its list, as the view moves it: to
  // the row below, else the row above, else the parent (0: "Root").
  uint32_t NeighbourOf(uint32_t id) const;
  // No current row, and nothing reported.
  void ClearCurrent();
  // Closes the record's branch and every branch below it.
  void CollapseBranch(uint32_t id);

  // The add commands: each runs its dialog and, when confirmed, creates the record under the
  // frame's selected record.
  void OnAddGroup();
  void OnAddObject(uint32_t parentId);
  void OnAddAtom(uint32_t parentId);
  void OnAddProperty(uint32_t parentId);

  // Drag and drop. A plain drop moves the dragged record with its branch under the target by
  // the kind rules; a Shift drop reorders it among its siblings. Ctrl changes nothing: a drop
  // is always a move.
  void OnBeginDrag(const QModelIndex& index, const QPoint& point);
  void OnDragMove(const QPoint& point);
  void OnDrop(Qt::KeyboardModifiers keys);
  void CancelDrag();
  bool dragging() const { return dragActive_; }
  uint32_t draggedId() const { return draggedId_; }
  const std::vector<uint32_t>& draggedIds() const { return draggedIds_; }
  // The row under the cursor while dragging (invalid over nothing).
  QModelIndex dropHighlight() const;
  QWidget* dragImage() const { return dragImage_; }

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

 private:
  // A record as the chain of identifiers from its group down to it, so that a branch is
  // reopened after a reset only where the same records still stand.
  using IdPath = std::vector<uint32_t>;
  IdPath PathOf(uint32_t id) const;
  QModelIndex IndexOfPath(const IdPath& path) const;
  void SaveState();
  void RestoreState();
  // Opens the row again if it stood open before, and so on down the branch.
  void ReopenBranch(const QModelIndex& index);
  void OnSelChanged(const QModelIndex& index);
  void SetDropHighlight(const QModelIndex& index);
  void EndDrag();
  bool DocumentIsFull();

  CMainFrame* frame_;
  CTarnelDoc* doc_;
  CRecordModel* model_;
  bool clearing_ = false;  // selection changes made by the view itself are not reported

  // Open branches by identifier, kept from the expanded and collapsed signals. A record that
  // goes leaves its entry behind, so a branch that undo brings back opens as it was.
  std::unordered_map<uint32_t, IdPath> open_;
  bool rootOpen_ = false;
  bool restoring_ = false;
  bool forgetting_ = false;  // a reset that keeps nothing: the records are all new
  IdPath savedCurrent_;
  std::vector<IdPath> savedSelection_;  // the selected rows besides the current one
  bool savedHadCurrent_ = false;
  bool savedRootCurrent_ = false;

  QPersistentModelIndex pressedIndex_;  // where the left button went down, for a drag start
  QPoint pressPoint_;
  bool dragActive_ = false;
  uint32_t draggedId_ = 0;
  std::vector<uint32_t> draggedIds_;  // the dragged row's record, or every selected one
  uint32_t dropHighlightId_ = 0;
  bool dropHighlightRoot_ = false;
  QPointer<QWidget> dragImage_;  // the dragged row's picture under the cursor
  QPoint dragHotSpot_;
};
