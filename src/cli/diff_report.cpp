#include "diff_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "command.h"
#include "model/shown_path.h"

void DiffTextReport(const CompareResult& r, OutputStream& out) {
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        out << "- " << EscapedText(r.ShownPathOf(false, d.first)) << "\n";
        break;
      case DifferenceKind::kAdded:
        out << "+ " << EscapedText(r.ShownPathOf(true, d.second)) << "\n";
        break;
      case DifferenceKind::kChanged: {
        std::string path = EscapedText(r.ShownPathOf(false, d.first));
        for (int f = 0; f < kDifferenceFieldCount; ++f)
          if (d.fields & (1 << f))
            out << "~ " << path << " " << DifferenceFieldName(f) << ": "
                << EscapedText(r.FieldText(d, false, f)) << " -> "
                << EscapedText(r.FieldText(d, true, f)) << "\n";
        break;
      }
      case DifferenceKind::kMoved:
        out << "> " << EscapedText(r.ShownPathOf(false, d.first)) << " -> "
            << EscapedText(r.ShownPathOf(true, d.second)) << "\n";
        break;
    }
  }
}

static QJsonArray SortedIds(std::vector<uint32_t> ids) {
  std::sort(ids.begin(), ids.end());
  QJsonArray a;
  for (uint32_t id : ids) a.append(qint64(id));
  return a;
}

std::string DiffJsonReport(const CompareResult& r) {
  std::vector<uint32_t> added, removed, moved;
  std::vector<const Difference*> changed;
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        removed.push_back(d.firstId);
        break;
      case DifferenceKind::kAdded:
        added.push_back(d.secondId);
        break;
      case DifferenceKind::kChanged:
        changed.push_back(&d);
        break;
      case DifferenceKind::kMoved:
        moved.push_back(d.firstId);
        break;
    }
  }
  std::sort(changed.begin(), changed.end(),
            [](const Difference* x, const Difference* y) { return x->firstId < y->firstId; });
  QJsonArray changes;
  for (const Difference* d : changed) {
    QJsonArray fields;
    for (int f = 0; f < kDifferenceFieldCount; ++f)
      if (d->fields & (1 << f)) fields.append(DifferenceFieldName(f));
    changes.append(QJsonObject{{"id", qint64(d->firstId)}, {"fields", fields}});
  }
  QJsonObject top{{"added", SortedIds(std::move(added))},
                  {"removed", SortedIds(std::move(removed))},
                  {"changed", changes},
                  {"moved", SortedIds(std::move(moved))}};
  return QJsonDocument(top).toJson(QJsonDocument::Compact).toStdString() + "\n";
}
