// What the document needs of the structure tree view it fills.
#pragma once

#include <cstdint>
#include <string>

using TreeItemHandle = void*;

// Tree item images by record kind (normal, selected): group 0/1, object 2/3, atom 4/5,
// property 6/7, LINK_TO property 8/9, the "Root" item 10/11.
enum TreeImage : int {
  kImageGroup = 0,
  kImageObject = 2,
  kImageAtom = 4,
  kImageProperty = 6,
  kImageLink = 8,
  kImageRoot = 10,
};

class ITreeView {
 public:
  virtual ~ITreeView() = default;
  virtual void DeleteAllItems() = 0;
  virtual TreeItemHandle InsertRoot() = 0;
  // Appends an item as the last child of `parent` (null: the top level).
  virtual TreeItemHandle InsertItem(TreeItemHandle parent, const std::string& label, int image,
                                    int selectedImage, uint32_t id) = 0;
};
