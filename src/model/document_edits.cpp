#include "document_edits.h"

#include <algorithm>
#include <unordered_set>

#include "archive_format.h"
#include "document.h"
#include "record_lookup.h"
#include "value_types.h"

namespace {

bool IsFull(const CTarnelDoc& doc) {
  return doc.Ids().Count() >= 0xFFFF;
}

EditResult Made(CTarnelDoc& doc, CRecord* r) {
  if (r) return {true, EditRefusal::kDone, r};
  return EditResult::Refused(IsFull(doc) ? EditRefusal::kDocumentFull : EditRefusal::kWrongKind);
}

void AddIncoming(CTarnelDoc& doc, CPropertyItem* target, uint32_t source) {
  if (!target || target->FindIncomingLink(source) >= 0) return;
  RecordChange change(doc.events(), target);
  target->AddIncomingLink(source);
}

void RemoveIncoming(CTarnelDoc& doc, CPropertyItem* target, uint32_t source) {
  if (!target || target->FindIncomingLink(source) < 0) return;
  RecordChange change(doc.events(), target);
  target->RemoveIncomingLink(source);
}

// LINK_TO properties that enter the document announce themselves to their targets, so that
// the targets' incoming lists are right before the next rebuild.
void LinkToTargets(CTarnelDoc& doc, CRecord* r) {
  if (CPropertyItem* p = AsProperty(r)) {
    AddIncoming(doc, LinkTargetOf(doc, p), p->id);
    return;
  }
  ForEachChild(r, [&](const CRecord* c) { LinkToTargets(doc, const_cast<CRecord*>(c)); });
}

int BranchHeight(const CRecord* r) {
  int below = 0;
  if (const CChildHolder* h = AsChildHolder(const_cast<CRecord*>(r)))
    for (CRecord* c : h->children) below = std::max(below, BranchHeight(c));
  else if (const CAtom* a = AsAtom(const_cast<CRecord*>(r)))
    below = a->properties.Empty() ? 0 : 1;
  return 1 + below;
}

}  // namespace

bool IsInBranch(const CRecord* record, const CRecord* branch) {
  for (const CRecord* r = record; r; r = r->parent)
    if (r == branch) return true;
  return false;
}

EditResult AddGroup(CTarnelDoc& doc, std::string name) {
  return Made(doc, doc.NewGroup(std::move(name)));
}

EditResult AddObject(CTarnelDoc& doc, CRecord* parent, std::string name) {
  if (!parent) return EditResult::Refused(EditRefusal::kNoRecord);
  if (!CanHold(parent->Kind(), kKindObject)) return EditResult::Refused(EditRefusal::kWrongKind);
  return Made(doc, doc.NewObject(parent, std::move(name)));
}

EditResult AddAtom(CTarnelDoc& doc, CRecord* parent, std::string name, int8_t type) {
  if (!parent) return EditResult::Refused(EditRefusal::kNoRecord);
  if (!CanHold(parent->Kind(), kKindAtom)) return EditResult::Refused(EditRefusal::kWrongKind);
  return Made(doc, doc.NewAtom(parent, std::move(name), type));
}

EditResult AddProperty(CTarnelDoc& doc, CRecord* atom, const PropertyDraft& draft) {
  if (!atom) return EditResult::Refused(EditRefusal::kNoRecord);
  if (!CanHold(atom->Kind(), kKindProperty)) return EditResult::Refused(EditRefusal::kWrongKind);
  CPropertyItem* p = doc.NewProperty(atom, [&](CPropertyItem& q) {
    q.name = draft.name;
    q.valueText = draft.valueText;
    q.typeCode = draft.typeCode;
    q.flags = draft.flags;
    return true;
  });
  EditResult r = Made(doc, p);
  if (p) LinkToTargets(doc, p);
  return r;
}

EditResult DeleteRecord(CTarnelDoc& doc, CRecord* record) {
  if (!record || doc.RowOf(record) < 0) return EditResult::Refused(EditRefusal::kNoRecord);
  std::vector<CPropertyItem*> doomed;
  CollectProperties(record, &doomed);
  std::unordered_set<const CPropertyItem*> inBranch(doomed.begin(), doomed.end());
  for (CPropertyItem* p : doomed) {
    // Sources that link here lose their link; those inside the branch go anyway.
    for (const CIncomingLink& link : p->incomingLinks)
      if (CPropertyItem* source = AsProperty(doc.LookupRecord(link.sourceId)))
        if (!inBranch.count(source) && source->typeCode != kTypeBin) {
          RecordChange change(doc.events(), source);
          source->typeCode = kTypeBin;
        }
    if (CPropertyItem* t = LinkTargetOf(doc, p); t && !inBranch.count(t))
      RemoveIncoming(doc, t, p->id);
  }
  doc.RemoveRecord(record);
  return {true, EditRefusal::kDone, nullptr};
}

bool CanPaste(int sourceKind, int targetKind) {
  return sourceKind != kKindGroup && CanHold(targetKind, sourceKind);
}

EditResult PasteRecord(CTarnelDoc& doc, CRecord* source, CRecord* target) {
  if (!source || !target) return EditResult::Refused(EditRefusal::kNoRecord);
  if (source == target) return {};  // a record is not pasted onto itself
  if (!CanPaste(source->Kind(), target->Kind()))
    return EditResult::Refused(EditRefusal::kWrongKind);
  if (DepthOf(target) + BranchHeight(source) > archive::kMaxDepth)
    return EditResult::Refused(EditRefusal::kTooDeep);
  CRecord* copy = doc.CopyInto(source, target);
  if (!copy) return EditResult::Refused(EditRefusal::kDocumentFull);
  LinkToTargets(doc, copy);
  return {true, EditRefusal::kDone, copy};
}

EditResult MoveUnder(CTarnelDoc& doc, CRecord* record, CRecord* target) {
  if (!record || !target || doc.RowOf(record) < 0)
    return EditResult::Refused(EditRefusal::kNoRecord);
  // Onto itself, or onto the parent it already has: the record keeps its place in the list.
  if (record == target || (record->Kind() != kKindGroup && record->parent == target)) return {};
  if (record->Kind() == kKindGroup || !CanHold(target, record))
    return EditResult::Refused(EditRefusal::kWrongKind);
  if (IsInBranch(target, record)) return EditResult::Refused(EditRefusal::kOwnBranch);
  if (DepthOf(target) + BranchHeight(record) > archive::kMaxDepth)
    return EditResult::Refused(EditRefusal::kTooDeep);
  bool moved = doc.MoveRecord(record, target, doc.RowCount(target));
  return {moved, EditRefusal::kDone, record};
}

bool CanPlaceAfter(int draggedKind, int targetKind) {
  return draggedKind != kKindGroup && draggedKind != kKindNone &&
         (targetKind == draggedKind || CanHold(targetKind, draggedKind));
}

EditResult PlaceAfter(CTarnelDoc& doc, CRecord* record, CRecord* target) {
  if (!record || !target || doc.RowOf(record) < 0)
    return EditResult::Refused(EditRefusal::kNoRecord);
  if (record == target) return {};  // released over itself
  if (!CanPlaceAfter(record->Kind(), target->Kind()))
    return EditResult::Refused(EditRefusal::kWrongKind);
  if (IsInBranch(target, record)) return EditResult::Refused(EditRefusal::kOwnBranch);
  CRecord* parent = record->parent;
  int from = doc.RowOf(record);
  // Positions in the list without the record: first under its own parent, right after a
  // sibling, last after anything else.
  int row = doc.RowCount(parent) - 1;
  if (target == parent) {
    row = 0;
  } else if (target->parent == parent) {
    int t = doc.RowOf(target);
    row = t < from ? t + 1 : t;
  }
  if (row == from) return {};
  bool moved = doc.MoveRecord(record, parent, row);
  return {moved, EditRefusal::kDone, record};
}

EditResult RenameRecord(CTarnelDoc& doc, CRecord* record, std::string name) {
  if (!record || doc.RowOf(record) < 0) return EditResult::Refused(EditRefusal::kNoRecord);
  if (name.empty() || record->name == name) return {};
  RecordChange change(doc.events(), record);
  record->SetName(std::move(name));
  return {true, EditRefusal::kDone, record};
}

bool MayStepAmongSiblings(const CRecord* record, int delta) {
  const CRecordList* list = record && record->parent ? record->parent->Children() : nullptr;
  if (!list) return false;
  int at = list->IndexOf(record);
  return at >= 0 && at + delta >= 0 && at + delta < list->Count();
}

EditResult StepAmongSiblings(CTarnelDoc& doc, CRecord* record, int delta) {
  if (!MayStepAmongSiblings(record, delta)) return {};
  bool moved = doc.MoveRecord(record, record->parent, doc.RowOf(record) + delta);
  return {moved, EditRefusal::kDone, record};
}

std::vector<CRecord*> OutermostRecords(const CTarnelDoc& doc, const std::vector<uint32_t>& ids) {
  std::vector<CRecord*> records;
  for (uint32_t id : ids)
    if (CRecord* r = doc.LookupRecord(id);
        r && std::find(records.begin(), records.end(), r) == records.end())
      records.push_back(r);
  std::vector<CRecord*> outermost;
  for (CRecord* r : records) {
    bool inside = std::any_of(records.begin(), records.end(), [r](const CRecord* other) {
      return other != r && IsInBranch(r, other);
    });
    if (!inside) outermost.push_back(r);
  }
  return outermost;
}

EditResult ApplyRecordEdit(CTarnelDoc& doc, CRecord* record, std::string name, bool setType,
                           int8_t type) {
  int kind = GetKind(record);
  if (kind < kKindGroup || kind > kKindAtom) return EditResult::Refused(EditRefusal::kNoRecord);
  CAtom* atom = setType ? AsAtom(record) : nullptr;
  RecordChange change(doc.events(), record);
  record->SetName(std::move(name));
  if (atom) atom->type = type;
  return {true, EditRefusal::kDone, record};
}

CPropertyItem* ResolveChain(const CIdMap& ids, CPropertyItem* p) {
  std::unordered_set<const CPropertyItem*> passed;
  while (p && p->typeCode == kTypeLinkTo) {
    if (!passed.insert(p).second) return nullptr;  // a loop
    p = AsProperty(ids.Lookup(uint32_t(AtoI(p->valueText))));
  }
  return p;
}

ApplyOutcome ApplyPropertyEdit(CTarnelDoc& doc, CPropertyItem& p, const PropertyEdit& edit) {
  ApplyOutcome out;
  {
    RecordChange change(doc.events(), &p);
    p.name = edit.name;
    p.eoc = edit.eoc;
  }
  CPropertyItem* e = &p;
  if (p.eoc) {
    e = ResolveChain(doc.Ids(), &p);
    if (!e) {
      out.linkError = true;
      e = &p;
    }
  }
  // The target the property pointed at before this edit keeps an incoming link from it; the
  // link has to go wherever the new value or type no longer points there.
  CPropertyItem* oldTarget = LinkTargetOf(doc, e);

  RecordChange change(doc.events(), e);
  e->valueText = edit.valueText;
  e->SetNumericValue(AtoF(e->valueText));

  if (edit.typeIndex == kTypeLinkTo) {
    CRecord* target = doc.LookupRecord(uint32_t(AtoI(e->valueText)));
    if (oldTarget && oldTarget != target) RemoveIncoming(doc, oldTarget, e->id);
    if (!target) {
      out.typeKept = true;
      return out;
    }
    AddIncoming(doc, AsProperty(target), e->id);
  } else if (oldTarget && edit.typeIndex >= 0) {
    RemoveIncoming(doc, oldTarget, e->id);
  }
  if (edit.typeIndex >= 0) e->typeCode = uint8_t(edit.typeIndex);
  for (int i = 0; i < 6; ++i) {
    e->ClearFlag(i);
    if (edit.flagBits >> i & 1) e->SetFlag(i);
  }
  return out;
}

bool SetEndOfChain(CTarnelDoc& doc, CPropertyItem* p, bool eoc) {
  if (!p || p->eoc == eoc) return false;
  RecordChange change(doc.events(), p);
  p->eoc = eoc;
  return true;
}

bool SetLinkTarget(CTarnelDoc& doc, CPropertyItem* property, const CRecord* target) {
  if (!property || !target) return false;
  std::string value = std::to_string(int32_t(target->id));
  if (property->typeCode == kTypeLinkTo && property->valueText == value) return false;
  RemoveIncoming(doc, LinkTargetOf(doc, property), property->id);
  {
    RecordChange change(doc.events(), property);
    property->typeCode = kTypeLinkTo;
    property->valueText = value;
  }
  AddIncoming(doc, AsProperty(doc.LookupRecord(target->id)), property->id);
  return true;
}

bool LinkToAtomProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name,
                        CPropertyItem* property) {
  CAtom* a = AsAtom(atom);
  if (!a || !property) return false;
  for (CPropertyItem* p : a->properties)
    if (p->name == name) return SetLinkTarget(doc, property, p);
  return false;
}

bool UnlinkToShort(CTarnelDoc& doc, CPropertyItem* property) {
  if (!property || property->typeCode != kTypeLinkTo) return false;
  RemoveIncoming(doc, LinkTargetOf(doc, property), property->id);
  RecordChange change(doc.events(), property);
  property->typeCode = kTypeShort;
  return true;
}

bool MakeLinks(CTarnelDoc& doc, CRecord* atom,
               const std::vector<std::pair<uint32_t, std::string>>& links) {
  bool changed = false;
  for (const auto& [id, name] : links)
    changed |= LinkToAtomProperty(doc, atom, name, AsProperty(doc.LookupRecord(id)));
  return changed;
}

bool Unlink(CTarnelDoc& doc, const std::vector<uint32_t>& ids) {
  bool changed = false;
  for (uint32_t id : ids) changed |= UnlinkToShort(doc, AsProperty(doc.LookupRecord(id)));
  return changed;
}
