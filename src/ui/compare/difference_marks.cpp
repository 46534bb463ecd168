#include "ui/compare/difference_marks.h"

#include "model/base_compare.h"
#include "model/id_map.h"
#include "ui/compare/difference_model.h"

void CDifferenceMarks::Mark(uint32_t id, uint8_t kinds) {
  uint16_t key = KeyOf(id);
  if (kinds_[key] == 0 || ids_[key] == id) {
    ids_[key] = id;
    kinds_[key] |= kinds;
  } else {
    more_[id] |= kinds;
  }
}

uint8_t CDifferenceMarks::MarksOf(uint32_t id) const {
  uint16_t key = KeyOf(id);
  if (key >= kinds_.size()) return 0;
  if (kinds_[key] != 0 && ids_[key] == id) return kinds_[key];
  auto it = more_.find(id);
  return it == more_.end() ? 0 : it->second;
}

void CDifferenceMarks::Set(const CompareResult* result) {
  ids_.clear();
  kinds_.clear();
  more_.clear();
  if (!result) return;
  ids_.resize(size_t(1) << 16, 0);
  kinds_.resize(size_t(1) << 16, 0);
  for (const Difference& d : result->differences) {
    if (d.kind == DifferenceKind::kAdded)
      Mark(result->NearestFirstId(d), KindBit(DifferenceKind::kAdded));
    else
      Mark(d.firstId, KindBit(d.kind));
  }
}

QVariant CDifferenceMarks::MarkData(uint32_t id, int role) const {
  uint8_t marks = MarksOf(id);
  if (marks == 0) return {};
  // One colour per record: removed over changed over moved over added below.
  static const DifferenceKind kOrder[] = {DifferenceKind::kRemoved, DifferenceKind::kChanged,
                                          DifferenceKind::kMoved, DifferenceKind::kAdded};
  DifferenceKind kind = DifferenceKind::kAdded;
  for (DifferenceKind k : kOrder)
    if (marks & KindBit(k)) {
      kind = k;
      break;
    }
  switch (role) {
    case Qt::ForegroundRole:
      return DifferenceColor(kind);
    case Qt::BackgroundRole:
      return DifferenceTint(kind);
    case Qt::ToolTipRole: {
      QStringList texts;
      if (marks & KindBit(DifferenceKind::kRemoved)) texts << tr("нет в другой базе");
      if (marks & KindBit(DifferenceKind::kChanged)) texts << tr("изменено");
      if (marks & KindBit(DifferenceKind::kMoved)) texts << tr("перемещено");
      if (marks & KindBit(DifferenceKind::kAdded)) texts << tr("ниже добавлены записи");
      return texts.join(QStringLiteral(", "));
    }
    default:
      return {};
  }
}
