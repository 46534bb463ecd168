#include "ui/table/text_cell_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace {

QStaticText PlainStatic(const QString& text) {
  QStaticText s(text);
  s.setTextFormat(Qt::PlainText);
  return s;
}

}  // namespace

CTextCellDelegate::Laid& CTextCellDelegate::LaidOut(const QString& text,
                                                    const QFontMetrics& metrics) const {
  auto it = laid_.find(text);
  if (it != laid_.end()) return *it;
  if (laid_.size() >= kKept) laid_.clear();
  Laid laid;
  laid.width = metrics.horizontalAdvance(text);
  laid.whole = PlainStatic(text);
  return *laid_.insert(text, std::move(laid));
}

void CTextCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // The style paints the cell's background, selection and focus frame; the text is ours.
  QString text = std::move(opt.text);
  opt.text.clear();
  opt.features &= ~QStyleOptionViewItem::HasDisplay;
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  if (text.isEmpty()) return;

  if (opt.font != font_) {
    font_ = opt.font;
    laid_.clear();
  }
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect rect = opt.rect.adjusted(margin, 0, -margin, 0);
  if (rect.width() <= 0) return;
  // A cell is one line: a line break in the text shows as a space.
  text.replace(QChar::LineSeparator, QLatin1Char(' '));
  Laid& laid = LaidOut(text, opt.fontMetrics);
  const QStaticText* shown = &laid.whole;
  int width = laid.width;
  if (width > rect.width()) {
    if (laid.elidedFor != rect.width()) {
      laid.elidedFor = rect.width();
      laid.elided = PlainStatic(opt.fontMetrics.elidedText(text, opt.textElideMode, rect.width()));
    }
    shown = &laid.elided;
    width = std::min(int(laid.elided.size().width()), rect.width());
  }

  const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                          : QPalette::Inactive;
  const QPalette::ColorRole role =
      opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
  const Qt::Alignment align = QStyle::visualAlignment(opt.direction, opt.displayAlignment);
  int x = rect.left();
  if (align & Qt::AlignRight)
    x = rect.right() + 1 - width;
  else if (align & Qt::AlignHCenter)
    x = rect.left() + (rect.width() - width) / 2;
  const int y = rect.top() + (rect.height() - opt.fontMetrics.height()) / 2;
  painter->save();
  painter->setClipRect(rect);
  painter->setFont(opt.font);
  painter->setPen(opt.palette.color(group, role));
  painter->drawStaticText(QPoint(x, y), *shown);
  painter->restore();
}
