#include "import_selection.h"

#include "import_parser.h"
#include "model/records.h"

namespace {

// The parent record of a record in the import tree (0 kind at the top level).
int ParentKind(const CRecord* r) {
  return GetKind(r->parent);
}

void Fill(CImportItem& parentItem, CRecord* record, int targetKind) {
  CImportItem* item = parentItem.AddChild(record);
  int kind = record->Kind();
  bool ticked = targetKind == kKindNone || PlacementAllows(targetKind, kind);
  if ((kind == kKindObject || kind == kKindAtom) && !ticked) {
    int pk = ParentKind(record);
    ticked = targetKind == kKindNone ? pk != kKindNone : PlacementAllows(targetKind, pk);
  }
  if (kind == kKindProperty && !ticked) ticked = parentItem.check == kChecked;
  item->check = ticked ? kChecked : kNoCheckBox;
  ForEachChild(record, [&](CRecord* c) { Fill(*item, c, targetKind); });
}

}  // namespace

bool PlacementAllows(int targetKind, int itemKind) {
  if (targetKind < 1 || targetKind > 4 || itemKind < 1 || itemKind > 4) return false;
  return (kPlacementMask >> ((targetKind - 1) * 4 + (itemKind - 1))) & 1;
}

CImportItem* CImportItem::AddChild(CRecord* r) {
  auto item = std::make_unique<CImportItem>();
  item->record = r;
  item->parent = this;
  children.push_back(std::move(item));
  return children.back().get();
}

std::unique_ptr<CImportItem> FillImportTree(const CImportParser& parser, const CRecord* target) {
  auto root = std::make_unique<CImportItem>();
  int targetKind = GetKind(target);
  for (int i = 0; i < parser.GetRecordCount(); ++i) Fill(*root, parser.GetRecord(i), targetKind);
  return root;
}

void SetChildrenCheck(CImportItem& item, int state) {
  for (auto& child : item.children) {
    if (child->check != kNoCheckBox) child->check = state;
    SetChildrenCheck(*child, state);
  }
}

void ClickCheckBox(CImportItem& item) {
  if (item.check == kNoCheckBox) return;
  int next = item.check == kChecked ? kUnchecked : kChecked;
  SetChildrenCheck(item, next);
  item.check = next;
}
