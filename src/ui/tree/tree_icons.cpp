#include "ui/tree/tree_icons.h"

#include "ui/app/ui_resources.h"

namespace {
const char* const kNames[] = {"group", "object", "atom", "property", "link", "root"};
}

TreeIcons::TreeIcons() {
  InitUiResources();
  for (int i = 0; i < 6; ++i) {
    QString base = QStringLiteral(":/kandrel/tree/%1").arg(QLatin1String(kNames[i]));
    icons_[size_t(i)].addFile(base + QStringLiteral(".svg"), QSize(24, 24), QIcon::Normal);
    icons_[size_t(i)].addFile(base + QStringLiteral("-selected.svg"), QSize(24, 24),
                              QIcon::Selected);
  }
}

const TreeIcons& TreeIcons::Get() {
  static const TreeIcons icons;
  return icons;
}

const QIcon& TreeIcons::ForImage(int image) const {
  int i = image / 2;
  return icons_[size_t(i >= 0 && i < 6 ? i : 3)];
}
