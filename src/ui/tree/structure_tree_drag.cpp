// Drag and drop in the structure tree. The drag is driven by hand rather than through QDrag:
// the tree keeps the mouse from the start of a drag to the release, shows the dragged item's
// picture under the cursor, highlights the item under it and decides at the release.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/history/drop_commands.h"
#include "ui/tree/structure_tree.h"

namespace {

void CollapseBranch(QTreeWidgetItem* item) {
  item->setExpanded(false);
  item->setSelected(false);
  for (int i = 0; i < item->childCount(); ++i) CollapseBranch(item->child(i));
}

// The item's icon and label on a transparent ground, as the drag shows it.
QPixmap DragPicture(QTreeWidgetItem* item, QSize size, QSize iconSize, const QFont& font) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  int y = (size.height() - iconSize.height()) / 2;
  item->icon(0).paint(&painter, QRect(QPoint(2, y), iconSize));
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRect(iconSize.width() + 8, 0, size.width(), size.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, item->text(0));
  return picture;
}

}  // namespace

QTreeWidgetItem* CLeftView::FindItemById(uint32_t id) {
  EnsureAttached();
  if (id == 0 || !rootItem_) return nullptr;
  for (QTreeWidgetItemIterator it(rootItem_); *it; ++it)
    if (*it != rootItem_ && ItemId(*it) == id) return *it;
  return nullptr;
}

int CLeftView::ItemKind(const QTreeWidgetItem* item) const {
  return item && ItemId(item) ? GetKind(doc_->LookupRecord(ItemId(item))) : kKindNone;
}

bool CLeftView::CanDrop(int dragged, int target) {
  switch (dragged) {
    case kKindObject:
      return target == kKindGroup || target == kKindObject;
    case kKindAtom:
      return target == kKindObject;
    case kKindProperty:
      return target == kKindAtom;
    default:
      return false;  // groups never move; an item without a record neither
  }
}

bool CLeftView::CanPlaceAfter(int dragged, int target) {
  switch (dragged) {
    case kKindObject:
      return target == kKindGroup || target == kKindObject;
    case kKindAtom:
      return target == kKindObject || target == kKindAtom;
    case kKindProperty:
      return target == kKindAtom || target == kKindProperty;
    default:
      return false;
  }
}

QTreeWidgetItem* CLeftView::MoveBranch(QTreeWidgetItem* item, QTreeWidgetItem* target,
                                       MoveMode mode) {
  EnsureAttached();
  if (!item || !target || !item->parent()) return nullptr;
  bool asChild = mode == MoveMode::kAsChild;
  if (asChild && (target == item || target == item->parent())) return item;
  for (QTreeWidgetItem* up = target; up; up = up->parent())
    if (up == item) return nullptr;  // never into the own branch
  int dragged = ItemKind(item), onto = ItemKind(target);
  if (!(asChild ? CanDrop(dragged, onto) : CanPlaceAfter(dragged, onto))) return nullptr;

  QTreeWidgetItem* parent = asChild ? target : item->parent();
  QTreeWidgetItem* oldParent = item->parent();
  oldParent->takeChild(oldParent->indexOfChild(item));  // the tree selects another item
  int index = parent->childCount();  // as a child, and after an item that is no sibling: last
  if (!asChild) {
    if (target == parent)
      index = 0;
    else if (target->parent() == parent)
      index = parent->indexOfChild(target) + 1;
  }
  parent->insertChild(index, item);
  // The branch arrives collapsed and unselected, as a new branch would.
  CollapseBranch(item);
  return item;
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
  if (dragging()) return;  // the release ends the drag; another button changes nothing
  QPoint point = event->position().toPoint();
  QTreeWidgetItem* item = event->button() == Qt::LeftButton ? itemAt(point) : nullptr;
  pressedItem_ = item ? PersistentIndex(item) : QPersistentModelIndex();
  pressPoint_ = point;
  QTreeWidget::mousePressEvent(event);
}

void CLeftView::mouseMoveEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  if (dragging()) {
    // The view's own handling would move the selection along with the cursor.
    OnDragMove(point);
    return;
  }
  if ((event->buttons() & Qt::LeftButton) && pressedItem_.isValid() &&
      (point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
    QTreeWidgetItem* item = ItemAt(pressedItem_);
    pressedItem_ = QPersistentModelIndex();
    OnBeginDrag(item, pressPoint_);
    if (dragging()) {
      OnDragMove(point);
      return;
    }
  }
  QTreeWidget::mouseMoveEvent(event);
}

void CLeftView::mouseReleaseEvent(QMouseEvent* event) {
  pressedItem_ = QPersistentModelIndex();
  if (dragging()) {
    if (event->button() == Qt::LeftButton) OnDrop(event->modifiers());
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
  if (dragging()) {
    if (event->key() == Qt::Key_Escape) CancelDrag();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CLeftView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  if (!dropHighlight_.isValid() || index != QModelIndex(dropHighlight_)) {
    QTreeWidget::drawRow(painter, option, index);
    return;
  }
  // The drop target looks selected while the cursor is over it.
  QStyleOptionViewItem highlighted = option;
  highlighted.state |= QStyle::State_Selected | QStyle::State_Active;
  QTreeWidget::drawRow(painter, highlighted, index);
}

void CLeftView::OnBeginDrag(QTreeWidgetItem* item, const QPoint& point) {
  if (!item || dragging()) return;
  QRect label = visualItemRect(item);
  if (label.isEmpty()) return;  // nothing to picture: no drag
  QPixmap picture = DragPicture(item, label.size(), iconSize(), font());
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
  draggedItem_ = PersistentIndex(item);
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
    SetDropHighlight(itemAt(point));
  } else {
    QGuiApplication::changeOverrideCursor(Qt::ForbiddenCursor);  // the highlight stays
  }
}

void CLeftView::SetDropHighlight(QTreeWidgetItem* item) {
  QPersistentModelIndex next = item ? PersistentIndex(item) : QPersistentModelIndex();
  if (next == dropHighlight_) return;
  dropHighlight_ = next;
  viewport()->update();
}

void CLeftView::OnDrop(Qt::KeyboardModifiers keys) {
  if (!dragging()) return;
  QTreeWidgetItem* dragged = draggedItem();
  QTreeWidgetItem* target = dropHighlight();
  if (!target) target = dragged;  // released over nothing: onto itself
  uint32_t draggedId = ItemId(dragged), targetId = ItemId(target);
  bool reorder = keys & Qt::ShiftModifier;
  EndDrag();
  // Ctrl is not looked at: a drop always moves, it never leaves a copy behind in the tree.
  if (!dragged || !target || draggedId == 0 || targetId == 0) return;
  if (reorder)
    frame_->RunCommand(std::make_unique<DropReorderCommand>(draggedId, targetId));
  else
    frame_->RunCommand(std::make_unique<DropMoveCommand>(draggedId, targetId));
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
  draggedItem_ = QPersistentModelIndex();
  dragActive_ = false;
  dropHighlight_ = QPersistentModelIndex();
  viewport()->update();
}
