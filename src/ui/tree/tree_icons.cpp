#include "ui/tree/tree_icons.h"

#include "model/records.h"
#include "model/value_types.h"
#include "ui/app/ui_resources.h"

namespace {
const char* const kNames[] = {"group", "object", "atom", "property", "link", "root"};
}

TreeIcons::TreeIcons() {
  InitUiResources();
  for (size_t i = 0; i < icons_.size(); ++i) {
    QString base = QStringLiteral(":/kandrel/tree/%1").arg(QLatin1String(kNames[i]));
    icons_[i].addFile(base + QStringLiteral(".svg"), QSize(24, 24), QIcon::Normal);
    icons_[i].addFile(base + QStringLiteral("-selected.svg"), QSize(24, 24), QIcon::Selected);
  }
}

const TreeIcons& TreeIcons::Get() {
  static const TreeIcons icons;
  return icons;
}

const QIcon& TreeIcons::ForKind(int kind) const {
  switch (kind) {
    case kKindGroup:
      return icons_[kGroup];
    case kKindObject:
      return icons_[kObject];
    case kKindAtom:
      return icons_[kAtom];
    default:
      return icons_[kProperty];
  }
}

const QIcon& TreeIcons::ForRecord(const CRecord* record) const {
  const CPropertyItem* p = AsProperty(record);
  if (p && p->typeCode == kTypeLinkTo) return icons_[kLink];
  return ForKind(GetKind(record));
}
