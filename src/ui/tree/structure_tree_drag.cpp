// Drag and drop in the structure tree. The drag is driven by hand rather than through QDrag:
// the tree keeps the mouse from the start of a drag to the release, shows the dragged row's
// picture under the cursor, highlights the row under it and decides at the release.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/history/drop_commands.h"
#include "ui/history/selection_commands.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "ui/watch/watch_dock.h"

namespace {

// The row's icon and label on a transparent ground, as the drag shows it.
QPixmap DragPicture(const QModelIndex& index, QSize size, QSize iconSize, const QFont& font) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  int y = (size.height() - iconSize.height()) / 2;
  index.data(Qt::DecorationRole).value<QIcon>().paint(&painter, QRect(QPoint(2, y), iconSize));
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRect(iconSize.width() + 8, 0, size.width(), size.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, index.data(Qt::DisplayRole).toString());
  return picture;
}

}  // namespace

QModelIndex CLeftView::dropHighlight() const {
  if (dropHighlightRoot_) return recordModel()->RootRow();
  return dropHighlightId_ ? IndexOfId(dropHighlightId_) : QModelIndex();
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
  if (dragging()) return;  // the release ends the drag; another button changes nothing
  QPoint point = event->position().toPoint();
  // A press on the value column drags the record of its row.
  QModelIndex index =
      event->button() == Qt::LeftButton ? indexAt(point).siblingAtColumn(0) : QModelIndex();
  pressedIndex_ = index;
  pressPoint_ = point;
  QTreeView::mousePressEvent(event);
}

void CLeftView::mouseMoveEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  if (dragging()) {
    // The view's own handling would move the selection along with the cursor.
    OnDragMove(point);
    return;
  }
  if ((event->buttons() & Qt::LeftButton) && pressedIndex_.isValid() &&
      (point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
    QModelIndex index = pressedIndex_;
    pressedIndex_ = QPersistentModelIndex();
    OnBeginDrag(index, pressPoint_);
    if (dragging()) {
      OnDragMove(point);
      return;
    }
  }
  QTreeView::mouseMoveEvent(event);
}

void CLeftView::mouseReleaseEvent(QMouseEvent* event) {
  pressedIndex_ = QPersistentModelIndex();
  if (dragging()) {
    if (event->button() == Qt::LeftButton) OnDrop(event->modifiers());
    return;
  }
  QTreeView::mouseReleaseEvent(event);
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
  if (dragging()) {
    if (event->key() == Qt::Key_Escape) CancelDrag();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void CLeftView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  if (!dragging() || index != dropHighlight()) {
    QTreeView::drawRow(painter, option, index);
    return;
  }
  // The drop target looks selected while the cursor is over it.
  QStyleOptionViewItem highlighted = option;
  highlighted.state |= QStyle::State_Selected | QStyle::State_Active;
  QTreeView::drawRow(painter, highlighted, index);
}

void CLeftView::OnBeginDrag(const QModelIndex& index, const QPoint& point) {
  if (!index.isValid() || dragging()) return;
  QRect label = visualRect(index);
  if (label.isEmpty()) return;  // nothing to picture: no drag
  QPixmap picture = DragPicture(index, label.size(), iconSize(), font());
  if (picture.isNull()) return;
  dragHotSpot_ = point - label.topLeft();
  auto* image =
      new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                              Qt::WindowDoesNotAcceptFocus);
  image->setObjectName(QStringLiteral("dragImage"));
  image->setAttribute(Qt::WA_TransparentForMouseEvents);
  image->setAttribute(Qt::WA_ShowWithoutActivating);
  image->setAttribute(Qt::WA_DeleteOnClose);
  image->setWindowOpacity(0.7);
  image->setPixmap(picture);
  // Only the icon and the letters are drawn: the highlighted target shows between them.
  image->setMask(picture.mask());
  image->resize(picture.size() / picture.devicePixelRatio());
  image->move(viewport()->mapToGlobal(point) - dragHotSpot_);
  image->show();
  dragImage_ = image;
  setFocus();
  viewport()->grabMouse();
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  draggedId_ = IdOf(index);
  // A selected row takes the other selected records along.
  draggedIds_ = selectionModel()->isSelected(index) ? frame_->treeEditing()->SelectedIds()
                                                    : std::vector<uint32_t>{draggedId_};
  dragActive_ = true;
  viewport()->update();
}

void CLeftView::OnDragMove(const QPoint& point) {
  if (!dragging()) return;
  QPoint global = viewport()->mapToGlobal(point);
  if (dragImage_) dragImage_->move(global - dragHotSpot_);
  QWidget* top = QApplication::topLevelAt(global);
  bool overTree =
      viewport()->rect().contains(point) && (!top || top == window() || top == dragImage_.data());
  if (overTree) {
    QGuiApplication::changeOverrideCursor(Qt::ArrowCursor);
    SetDropHighlight(indexAt(point).siblingAtColumn(0));
  } else if (CWatchDock* watch = frame_->watchDock(); watch && watch->AcceptsDropAt(global)) {
    // Over the watch list the records are added to it: a copy, the tree stays as it is.
    QGuiApplication::changeOverrideCursor(Qt::DragCopyCursor);
  } else {
    QGuiApplication::changeOverrideCursor(Qt::ForbiddenCursor);  // the highlight stays
  }
}

void CLeftView::SetDropHighlight(const QModelIndex& index) {
  bool root = recordModel()->IsRootRow(index);
  uint32_t id = IdOf(index);
  if (root == dropHighlightRoot_ && id == dropHighlightId_) return;
  dropHighlightRoot_ = root;
  dropHighlightId_ = id;
  viewport()->update();
}

void CLeftView::OnDrop(Qt::KeyboardModifiers keys) {
  if (!dragging()) return;
  uint32_t draggedId = draggedId_;
  std::vector<uint32_t> draggedIds = draggedIds_;
  // Released over the watch list: the records are watched there, not moved.
  if (CWatchDock* watch = frame_->watchDock(); watch && watch->AcceptsDropAt(QCursor::pos())) {
    EndDrag();
    watch->AddRecords(draggedIds.empty() ? std::vector<uint32_t>{draggedId} : draggedIds);
    return;
  }
  // Released over nothing: onto itself.
  uint32_t targetId = dropHighlightId_ || dropHighlightRoot_ ? dropHighlightId_ : draggedId;
  bool reorder = keys & Qt::ShiftModifier;
  EndDrag();
  // Ctrl is not looked at: a drop always moves, it never leaves a copy behind in the tree.
  if (draggedId == 0 || targetId == 0) return;
  // The moved row arrives collapsed and unselected, as a new branch would: the selection
  // goes where it goes when the row leaves its place.
  uint32_t next = currentId() == draggedId ? NeighbourOf(draggedId) : currentId();
  bool moved = false;
  if (draggedIds.size() > 1)
    moved = frame_->RunCommand(std::make_unique<DropRecordsCommand>(draggedIds, targetId, reorder));
  else if (reorder)
    moved = frame_->RunCommand(std::make_unique<DropReorderCommand>(draggedId, targetId));
  else
    moved = frame_->RunCommand(std::make_unique<DropMoveCommand>(draggedId, targetId));
  if (moved) {
    for (uint32_t id : draggedIds) CollapseBranch(id);
    if (currentId() == draggedId) SelectIndex(IndexOfId(next));
  }
  viewport()->update();
}

void CLeftView::CancelDrag() {
  if (dragging()) EndDrag();
}

void CLeftView::EndDrag() {
  if (dragImage_) dragImage_->close();
  dragImage_ = nullptr;
  viewport()->releaseMouse();
  QGuiApplication::restoreOverrideCursor();
  draggedId_ = 0;
  draggedIds_.clear();
  dragActive_ = false;
  dropHighlightId_ = 0;
  dropHighlightRoot_ = false;
  viewport()->update();
}
