// Paints the cells of a table of plain text. The style's general item painting lays a cell's
// text out three or four times on every paint (to size it, to elide it, to draw it); here each
// text is measured once and drawn from a laid-out copy, so a repaint of cells seen before (the
// focus moving, a dock opening, scrolling back) only draws glyphs. Editing stays as the styled
// delegate does it.
#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

class CTextCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  // A text as it was laid out, and its elided form for the last width it did not fit.
  struct Laid {
    int width = 0;
    QStaticText whole;
    int elidedFor = -1;
    QStaticText elided;
  };
  Laid& LaidOut(const QString& text, const QFontMetrics& metrics) const;

  // Kept for one font; a screenful of cells many times over, then begun again.
  static constexpr qsizetype kKept = 8192;
  mutable QFont font_;
  mutable QHash<QString, Laid> laid_;
};
