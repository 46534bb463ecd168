// The twelve record images of the structure tree, as six icons with a normal and a selected
// state each, indexed like the tree's image list (group 0/1 ... "Root" 10/11).
#pragma once

#include <QIcon>
#include <array>

class TreeIcons {
 public:
  static const TreeIcons& Get();
  // The icon whose normal image has this index (an even number 0..10).
  const QIcon& ForImage(int image) const;

 private:
  TreeIcons();
  std::array<QIcon, 6> icons_;
};
