// The record icons of the structure tree and the dialogs that show records: group, object,
// atom, property, LINK_TO property and "Root", each with a normal and a selected state.
#pragma once

#include <QIcon>
#include <array>

class CRecord;

class TreeIcons {
 public:
  static const TreeIcons& Get();
  // By record kind (1 group .. 4 property; anything else: the property icon).
  const QIcon& ForKind(int kind) const;
  // By record: a LINK_TO property has the link icon.
  const QIcon& ForRecord(const CRecord* record) const;
  const QIcon& Root() const { return icons_[kRoot]; }

 private:
  enum : size_t { kGroup, kObject, kAtom, kProperty, kLink, kRoot };
  TreeIcons();
  std::array<QIcon, 6> icons_;
};
