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

static QJsonArray IdArray(const std::vector<uint32_t>& ids) {
  QJsonArray a;
  for (uint32_t id : ids) a.append(qint64(id));
  return a;
}

std::string DiffJsonReport(const CompareResult& r) {
  DifferenceIds ids = CollectDifferenceIds(r);
  QJsonArray changes;
  for (const auto& [id, bits] : ids.changed) {
    QJsonArray fields;
    for (int f = 0; f < kDifferenceFieldCount; ++f)
      if (bits & (1 << f)) fields.append(DifferenceFieldName(f));
    changes.append(QJsonObject{{"id", qint64(id)}, {"fields", fields}});
  }
  QJsonObject top{{"added", IdArray(ids.added)},
                  {"removed", IdArray(ids.removed)},
                  {"changed", changes},
                  {"moved", IdArray(ids.moved)}};
  return QJsonDocument(top).toJson(QJsonDocument::Compact).toStdString() + "\n";
}
