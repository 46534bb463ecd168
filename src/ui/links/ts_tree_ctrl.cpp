#include "ui/links/ts_tree_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <functional>

namespace {

constexpr int kStateRole = Qt::UserRole + 2;

// The style's own check box in the three states, 16 by 16 pixels.
QIcon CheckImage(QStyle* style, QStyle::State state) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QStyleOptionButton opt;
  opt.rect = QRect(1, 1, 14, 14);
  opt.state = QStyle::State_Enabled | state;
  style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &painter);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace

CTSTreeCtrl::CTSTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setMouseTracking(true);  // hot tracking
  setIconSize(QSize(16, 16));
  checkImages_ = {CheckImage(style(), QStyle::State_Off),
                  CheckImage(style(), QStyle::State_NoChange),
                  CheckImage(style(), QStyle::State_On)};
}

int CTSTreeCtrl::GetState(const QTreeWidgetItem* item) {
  QVariant v = item ? item->data(0, kStateRole) : QVariant();
  return v.isValid() ? v.toInt() : -1;
}

void CTSTreeCtrl::SetState(QTreeWidgetItem* item, int state) {
  if (!item || state < kUnchecked || state > kChecked) return;
  if (GetState(item) == state) return;
  item->setData(0, kStateRole, state);
  item->setIcon(0, checkImages_[size_t(state)]);
}

void CTSTreeCtrl::Toggle(QTreeWidgetItem* item) {
  if (!item) return;
  int state = GetState(item) == kChecked || GetState(item) < 0 ? kUnchecked : kChecked;
  SetState(item, state);
  std::function<void(QTreeWidgetItem*)> down = [&](QTreeWidgetItem* i) {
    for (int c = 0; c < i->childCount(); ++c) {
      SetState(i->child(c), state);
      down(i->child(c));
    }
  };
  down(item);
  for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) {
    bool all2 = true, all0 = true;
    for (int c = 0; c < up->childCount(); ++c) {
      all2 &= GetState(up->child(c)) == kChecked;
      all0 &= GetState(up->child(c)) == kUnchecked;
    }
    SetState(up, all2 ? kChecked : all0 ? kUnchecked : kPartlyChecked);
  }
  if (!quiet) emit Checked(GetState(item), item);
}

void CTSTreeCtrl::ClearAll(QTreeWidgetItem* item) {
  quiet = true;
  std::function<void(QTreeWidgetItem*)> down = [&](QTreeWidgetItem* i) {
    for (int c = 0; c < i->childCount(); ++c) {
      SetState(i->child(c), kUnchecked);
      down(i->child(c));
    }
  };
  down(item ? item : invisibleRootItem());
  quiet = false;
}

QRect CTSTreeCtrl::CheckMarkRect(QTreeWidgetItem* item) const {
  if (!item) return {};
  QStyleOptionViewItem opt;
  const_cast<CTSTreeCtrl*>(this)->initViewItemOption(&opt);
  opt.rect = visualItemRect(item);
  opt.index = indexFromItem(item);
  opt.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
  opt.icon = item->icon(0);
  opt.decorationSize = iconSize();
  opt.text = item->text(0);
  return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, this);
}

void CTSTreeCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (locked || event->button() != Qt::LeftButton) return;
  QPoint point = event->position().toPoint();
  QTreeWidgetItem* item = itemAt(point);
  // Only the mark toggles; a click on the label just selects the entry.
  if (item && CheckMarkRect(item).contains(point)) Toggle(item);
}
