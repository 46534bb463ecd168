#include "ui/history/record_commands.h"

#include <QCoreApplication>
#include <memory>

#include "model/document.h"
#include "model/value_types.h"

QString DocumentFullMessage() {
  return QCoreApplication::translate(
      "RecordCommands",
      "Документ заполнен: все 65535 идентификаторов заняты. Удалите ненужные записи, "
      "чтобы добавить новые.");
}

namespace {

bool IsFull(const CTarnelDoc& doc) {
  return doc.idMap.Count() >= 0xFFFF;
}

// A LINK_TO property that enters the document announces itself to its target, so that the
// target's incoming list is right before the next rebuild.
void LinkToTargets(CTarnelDoc& doc, CRecord* r) {
  if (CPropertyItem* p = AsProperty(r)) {
    if (p->typeCode == kTypeLinkTo)
      if (CPropertyItem* t = AsProperty(doc.LookupRecord(uint32_t(AtoI(p->valueText)))))
        t->AddIncomingLink(p->id);
  } else if (CAtom* a = AsAtom(r)) {
    for (const auto& q : a->properties) LinkToTargets(doc, q.get());
  } else if (CChildHolder* h = AsChildHolder(r)) {
    for (const auto& c : h->children) LinkToTargets(doc, c.get());
  }
}

void CollectProperties(CRecord* r, std::vector<CPropertyItem*>* out) {
  if (CPropertyItem* p = AsProperty(r)) {
    out->push_back(p);
  } else if (CAtom* a = AsAtom(r)) {
    for (const auto& q : a->properties) out->push_back(q.get());
  } else if (CChildHolder* h = AsChildHolder(r)) {
    for (const auto& c : h->children) CollectProperties(c.get(), out);
  }
}

// The link bookkeeping of a property that is about to be destroyed.
void UnlinkProperty(CTarnelDoc& doc, CPropertyItem* p) {
  for (const CIncomingLink& link : p->incomingLinks)
    if (CPropertyItem* source = AsProperty(doc.LookupRecord(link.sourceId)))
      source->typeCode = kTypeBin;
  if (p->typeCode == kTypeLinkTo)
    if (CPropertyItem* t = AsProperty(doc.LookupRecord(uint32_t(AtoI(p->valueText)))))
      t->RemoveIncomingLink(p->id);
}

}  // namespace

bool AddGroupCommand::Execute(EditContext& ctx) {
  CBase* g = ctx.doc.NewGroup();
  if (!g) {
    ctx.error = DocumentFullMessage();
    return false;
  }
  g->SetName(name_);
  return true;
}

bool AddChildCommand::Execute(EditContext& ctx) {
  CRecord* parent = ctx.doc.LookupRecord(parentId_);
  if (IsFull(ctx.doc)) {
    ctx.error = DocumentFullMessage();
    return false;
  }
  if (kind_ == kObject) {
    CObj* o = ctx.doc.NewObject(parent);
    if (!o) return false;
    o->SetName(name_);
  } else {
    CAtom* a = ctx.doc.NewAtom(parent);
    if (!a) return false;
    a->SetName(name_);
    a->type = int8_t(atomType_);
  }
  return true;
}

bool AddPropertyCommand::Execute(EditContext& ctx) {
  if (IsFull(ctx.doc)) {
    ctx.error = DocumentFullMessage();
    return false;
  }
  CPropertyItem* p = ctx.doc.NewProperty(ctx.doc.LookupRecord(parentId_));
  if (!p) return false;
  p->name = draft_.name;
  p->valueText = draft_.valueText;
  p->typeCode = draft_.typeCode;
  p->flags = draft_.flags;
  LinkToTargets(ctx.doc, p);
  return true;
}

bool ApplyRecordCommand::Execute(EditContext& ctx) {
  CRecord* r = ctx.doc.LookupRecord(id_);
  int kind = GetKind(r);
  if (kind < kKindGroup || kind > kKindAtom) return false;
  r->SetName(name_);
  if (setType_ && kind == kKindAtom) static_cast<CAtom*>(r)->type = int8_t(type_);
  return true;
}

bool ApplyPropertyCommand::Execute(EditContext& ctx) {
  CPropertyItem* p = AsProperty(ctx.doc.LookupRecord(id_));
  if (!p) return false;
  ApplyOutcome outcome = ApplyPropertyEdit(ctx.doc.idMap, *p, edit_);
  if (outcome_) *outcome_ = outcome;
  return true;
}

bool SetEndOfChainCommand::Execute(EditContext& ctx) {
  CPropertyItem* p = AsProperty(ctx.doc.LookupRecord(id_));
  if (!p || p->eoc == eoc_) return false;
  p->eoc = eoc_;
  return true;
}

bool DeleteRecordCommand::Execute(EditContext& ctx) {
  CRecord* r = ctx.doc.LookupRecord(id_);
  if (!r) return false;
  std::vector<CPropertyItem*> doomed;
  CollectProperties(r, &doomed);
  for (CPropertyItem* p : doomed) UnlinkProperty(ctx.doc, p);
  switch (GetKind(r)) {
    case kKindGroup:
      ctx.doc.RemoveGroup(static_cast<CBase*>(r));
      break;
    case kKindObject:
    case kKindAtom:
      if (CChildHolder* h = AsChildHolder(r->parent)) h->RemoveChild(r);
      break;
    case kKindProperty:
      if (CAtom* a = AsAtom(r->parent)) a->RemoveProperty(static_cast<CPropertyItem*>(r));
      break;
    default:
      break;
  }
  return true;
}

bool PasteCommand::Execute(EditContext& ctx) {
  CRecord* source = ctx.doc.LookupRecord(sourceId_);
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  if (!source || !target || source == target) return false;
  int kind = GetKind(source);
  int targetKind = GetKind(target);
  bool fits = kind == kKindProperty ? targetKind == kKindAtom
                                    : (kind == kKindObject || kind == kKindAtom) &&
                                          (targetKind == kKindGroup || targetKind == kKindObject);
  if (!fits) return false;
  // CopyInto copies the branch as it was, also when the target lies inside it.
  CRecord* copy = ctx.doc.CopyInto(source, target);
  if (!copy) {
    if (IsFull(ctx.doc)) ctx.error = DocumentFullMessage();
    return false;
  }
  LinkToTargets(ctx.doc, copy);
  ctx.doc.ShowSubtree(copy, nullptr);
  return true;
}
