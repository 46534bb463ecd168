#include "document.h"

#include <algorithm>
#include <unordered_set>

#include "archive.h"
#include "archive_format.h"
#include "progress.h"
#include "value_types.h"

namespace {

const char* const kDefaultGroups[] = {"Hardware", "Logic", "Network"};

}  // namespace

bool CanHold(int parentKind, int childKind) {
  switch (childKind) {
    case kKindGroup:
      return parentKind == kKindNone;
    case kKindObject:
      return parentKind == kKindGroup || parentKind == kKindObject;
    case kKindAtom:
      return parentKind == kKindObject;
    case kKindProperty:
      return parentKind == kKindAtom;
    default:
      return false;
  }
}

CTarnelDoc::CTarnelDoc() {
  idMap_.SetEvents(&events_);
}

CTarnelDoc::~CTarnelDoc() {
  // Nobody is told any more: observers may be gone before the document.
  idMap_.SetEvents(nullptr);
  Clear();
}

CRecordList* CTarnelDoc::EditableList(const CRecord* parent) {
  return parent ? const_cast<CRecord*>(parent)->Children() : &groups_;
}

const CRecordList* CTarnelDoc::ListFor(const CRecord* parent) const {
  return parent ? parent->Children() : &groups_;
}

int CTarnelDoc::RowCount(const CRecord* parent) const {
  const CRecordList* list = ListFor(parent);
  return list ? list->Count() : 0;
}

CRecord* CTarnelDoc::RecordAt(const CRecord* parent, int row) const {
  const CRecordList* list = ListFor(parent);
  return list ? list->At(row) : nullptr;
}

int CTarnelDoc::RowOf(const CRecord* record) const {
  if (!record) return -1;
  const CRecordList* list = ListFor(ListOf(record));
  return list ? list->IndexOf(record) : -1;
}

bool CTarnelDoc::InsertRecord(CRecord* parent, int row, std::unique_ptr<CRecord> record) {
  if (!record || !CanHold(parent, record.get())) return false;
  row = std::clamp(row, 0, RowCount(parent));
  events_.RowsAboutToBeInserted(parent, row, 1);
  EditableList(parent)->Insert(row, std::move(record));
  events_.RowsInserted(parent, row, 1);
  return true;
}

// Appends a fresh record to its parent's list and registers it. The identifier is drawn last,
// so a refused creation uses none.
CRecord* CTarnelDoc::Attach(CRecord* parent, std::unique_ptr<CRecord> record) {
  if (!CanHold(parent, record.get())) return nullptr;
  CRecord* raw = record.get();
  uint16_t id = idMap_.NewId(raw);
  if (id == 0) return nullptr;  // every identifier is taken; the record goes again
  raw->id = id;
  InsertRecord(parent, RowCount(parent), std::move(record));
  return raw;
}

uint16_t CTarnelDoc::RegisterAside(CRecord* record, uint32_t wanted) {
  uint16_t key = uint16_t(wanted & 0xFFFF);
  if (key == 0 || idMap_.Lookup(key)) return record->id = idMap_.NewId(record);
  idMap_.SetAt(wanted, record);
  record->id = wanted;
  return key;
}

bool CTarnelDoc::ChangeId(CRecord* record, uint32_t id) {
  CRecord* holder = idMap_.Lookup(id);
  if (holder && holder != record) return false;
  RecordChange change(events_, record);
  idMap_.SetAt(id, record);
  record->id = id;
  return true;
}

CBase* CTarnelDoc::NewGroup(std::string name) {
  auto g = std::make_unique<CBase>();
  g->name = std::move(name);
  return static_cast<CBase*>(Attach(nullptr, std::move(g)));
}

CObj* CTarnelDoc::NewObject(CRecord* parent, std::string name) {
  if (!parent) return nullptr;
  auto o = std::make_unique<CObj>();
  o->name = std::move(name);
  return static_cast<CObj*>(Attach(parent, std::move(o)));
}

CAtom* CTarnelDoc::NewAtom(CRecord* parent, std::string name, int8_t type) {
  auto a = std::make_unique<CAtom>();
  a->name = std::move(name);
  a->type = type;
  return static_cast<CAtom*>(Attach(parent, std::move(a)));
}

CPropertyItem* CTarnelDoc::NewProperty(CRecord* parent, const PropertyFill& fill) {
  if (!AsAtom(parent)) return nullptr;
  auto p = std::make_unique<CPropertyItem>();
  if (fill && !fill(*p)) return nullptr;
  return static_cast<CPropertyItem*>(Attach(parent, std::move(p)));
}

void CTarnelDoc::CreateDefaultGroups() {
  if (!groups_.Empty()) return;
  for (const char* name : kDefaultGroups) NewGroup(name);
}

// The copy of one record and its branch, not yet in any list; each record registered under
// a fresh identifier. Null when the identifiers run out (what was made goes again).
std::unique_ptr<CRecord> CTarnelDoc::CopyAside(const CRecord* record, int parentKind) {
  if (!CanHold(parentKind, GetKind(record))) return nullptr;
  std::unique_ptr<CRecord> copy = NewRecordOfKind(record->Kind());
  if (const CPropertyItem* src = AsProperty(record)) {
    CPropertyItem* p = AsProperty(copy.get());
    p->valueText = src->valueText;
    p->typeCode = src->typeCode;
    p->eoc = src->eoc;
    p->flags = src->flags;
  }
  copy->name = record->name;
  uint16_t id = idMap_.NewId(copy.get());
  if (id == 0) return nullptr;
  copy->id = id;
  if (const CRecordList* children = record->Children()) {
    CRecordList* into = copy->Children();
    for (int i = 0; i < children->Count(); ++i) {
      const CRecord* child = children->At(i);
      auto c = CopyAside(child, record->Kind());
      if (!c) {
        if (CanHold(record->Kind(), GetKind(child))) return nullptr;
        continue;  // a child its parent may not hold is not copied (an atom in a group)
      }
      into->Append(std::move(c));
    }
  }
  return copy;
}

CRecord* CTarnelDoc::CopyInto(CRecord* record, CRecord* newParent) {
  if (!record || !newParent || !CanHold(newParent, record)) return nullptr;
  std::unique_ptr<CRecord> copy = CopyAside(record, newParent->Kind());
  if (!copy) return nullptr;
  CRecord* raw = copy.get();
  InsertRecord(newParent, RowCount(newParent), std::move(copy));
  return raw;
}

std::unique_ptr<CRecord> CTarnelDoc::Detach(CRecord* record) {
  int row = RowOf(record);
  if (row < 0) return nullptr;
  CRecord* list = ListOf(record);
  CPropertyItem* p = AsProperty(record);
  if (p) {
    // Its siblings forget it as their decimal-point property before it goes.
    for (CPropertyItem* q : static_cast<CAtom*>(list)->properties)
      if (q != p && q->decimalPoint == p) {
        RecordChange change(events_, q);
        q->decimalPoint = nullptr;
      }
  }
  events_.RowsAboutToBeRemoved(list, row, 1);
  std::unique_ptr<CRecord> taken = EditableList(list)->Take(record);
  if (p) p->decimalPoint = nullptr;
  return taken;
}

bool CTarnelDoc::RemoveRecord(CRecord* record) {
  CRecord* list = ListOf(record);
  int row = RowOf(record);
  std::unique_ptr<CRecord> taken = Detach(record);
  if (!taken) return false;
  taken.reset();  // destroyed while the list still counts as changing
  events_.RowsRemoved(list, row, 1);
  return true;
}

bool CTarnelDoc::MoveRecord(CRecord* record, CRecord* newParent, int row) {
  int from = RowOf(record);
  if (from < 0 || !CanHold(newParent, record)) return false;
  for (const CRecord* up = newParent; up; up = up->parent)
    if (up == record) return false;  // never into its own branch
  CRecord* oldParent = ListOf(record);
  bool sameList = oldParent == newParent;
  int count = RowCount(newParent) - (sameList ? 1 : 0);
  row = std::clamp(row, 0, count);
  if (sameList && row == from) return true;
  // The destination as counted before the move.
  int destination = sameList && row > from ? row + 1 : row;
  events_.RowsAboutToBeMoved(oldParent, from, 1, newParent, destination);
  // The lists alone move it: a property's decimal-point references are refreshed below.
  EditableList(newParent)->Insert(row, EditableList(oldParent)->Take(record));
  events_.RowsMoved(oldParent, from, 1, newParent, destination);
  if (record->Kind() == kKindProperty) {
    RefreshDecimalPoints(oldParent);
    if (!sameList) RefreshDecimalPoints(newParent);
  }
  return true;
}

void CTarnelDoc::RefreshDecimalPoints(CRecord* atomRecord) {
  CAtom* atom = AsAtom(atomRecord);
  if (!atom) return;
  // As the registration walk sets them: the last "DecPoint" up to each property wins for all
  // properties before it, and properties after the last one have none.
  std::vector<CPropertyItem*> wanted(size_t(atom->GetPropertyCount()), nullptr);
  CPropertyItem* last = nullptr;
  int lastIndex = -1;
  for (int i = 0; i < atom->GetPropertyCount(); ++i)
    if (atom->GetProperty(i)->name == "DecPoint") {
      last = atom->GetProperty(i);
      lastIndex = i;
    }
  for (int i = 0; i < atom->GetPropertyCount(); ++i)
    wanted[size_t(i)] = i <= lastIndex ? last : nullptr;
  for (int i = 0; i < atom->GetPropertyCount(); ++i) {
    CPropertyItem* p = atom->GetProperty(i);
    if (p->decimalPoint == wanted[size_t(i)]) continue;
    RecordChange change(events_, p);
    p->decimalPoint = wanted[size_t(i)];
  }
}

void CTarnelDoc::RemoveGroup(CBase* group) {
  if (GetKind(group) == kKindGroup) RemoveRecord(group);
}

void CTarnelDoc::Clear() {
  groups_.Clear();
}

void CTarnelDoc::DeleteAllGroups() {
  ResetScope reset(events_);
  Clear();
}

std::vector<std::unique_ptr<CBase>> CTarnelDoc::TakeGroups() {
  ResetScope reset(events_);
  std::vector<std::unique_ptr<CBase>> out;
  for (auto& r : groups_.TakeAll()) out.emplace_back(static_cast<CBase*>(r.release()));
  return out;
}

void CTarnelDoc::ReplaceGroups(std::vector<std::unique_ptr<CBase>> incoming) {
  ResetScope reset(events_);
  Clear();
  // Stale identifiers must not find anything while the new tree is not registered yet; the
  // counter of identifiers stays where it was.
  uint16_t lastId = idMap_.GetLastId();
  idMap_.Clear();
  idMap_.SetLastId(lastId);
  for (auto& g : incoming)
    if (g) groups_.Append(std::move(g));
  RebuildTree();
}

void CTarnelDoc::RegisterSubtree(CRecord* record) {
  if (!record) return;
  idMap_.SetAt(record->id, record);
  if (CAtom* atom = AsAtom(record)) {
    // Every "DecPoint" of the list points all properties up to itself at itself, so the last
    // one wins for everything up to it and the properties after it refer to nothing. Found
    // first and set in the same walk, so the cost stays linear however many there are.
    CPropertyItem* decimalPoint = nullptr;
    for (CPropertyItem* p : atom->properties)
      if (p->name == "DecPoint") decimalPoint = p;
    for (CPropertyItem* p : atom->properties) {
      p->parent = atom;
      p->decimalPoint = decimalPoint;
      if (p == decimalPoint) decimalPoint = nullptr;
      RegisterSubtree(p);
    }
  } else {
    ForEachChild(record, [&](CRecord* c) {
      c->parent = record;
      RegisterSubtree(c);
    });
  }
}

void CTarnelDoc::ResolveLinks(CRecord* record, bool inHardware) {
  CPropertyItem* p = AsProperty(record);
  if (!p) {
    if (record->Kind() == kKindGroup) inHardware = record->name == "Hardware";
    ForEachChild(record, [&](CRecord* c) { ResolveLinks(c, inHardware); });
    return;
  }
  if (inHardware && p->IsFlagSet(0)) {
    RecordChange change(events_, p);
    p->ClearFlag(0);
  }
  if (p->typeCode == kTypeLinkTo)
    if (CPropertyItem* target = AsProperty(idMap_.Lookup(uint32_t(AtoI(p->valueText)))))
      if (target->FindIncomingLink(p->id) < 0) {
        RecordChange change(events_, target);
        target->AddIncomingLink(p->id);
      }
}

void CTarnelDoc::RebuildTree() {
  ResetScope reset(events_);
  RelinkAll();
}

void CTarnelDoc::RelinkAll() {
  for (CBase* g : groups_) RegisterSubtree(g);
  for (CBase* g : groups_) ResolveLinks(g, false);
}

void CTarnelDoc::Serialize(ArchiveWriter& ar) {
  ar.WriteCount(uint32_t(groups_.Count()));
  for (CBase* g : groups_) ar.WriteObjectRef(g);
  ar.WriteWord(idMap_.GetLastId());
}

DocumentContents CTarnelDoc::ReadContents(ArchiveReader& ar) {
  DocumentContents c;
  if (ar.AtEnd()) return c;  // an empty file is a document without groups
  uint32_t n = ar.ReadCount();
  c.groups.reserve(std::min<uint32_t>(n, 4096));
  for (uint32_t i = 0; i < n; ++i) {
    auto g = ar.ReadObjectRef(1u << archive::kClassBase, 1);
    if (g) c.groups.emplace_back(static_cast<CBase*>(g.release()));
  }
  c.lastId = ar.ReadWord();
  return c;
}

void CTarnelDoc::TakeContents(DocumentContents contents) {
  ResetScope reset(events_);
  DeleteContents();
  for (auto& g : contents.groups) groups_.Append(std::move(g));
  idMap_.SetLastId(contents.lastId);
  RebuildTree();
}

bool CTarnelDoc::OnNewDocument() {
  ResetScope reset(events_);
  DeleteContents();
  CreateDefaultGroups();
  return true;
}

void CTarnelDoc::DeleteContents() {
  ResetScope reset(events_);
  Clear();
  idMap_.Clear();
}

namespace {
// Shares of the progress bar: reading a cached file is quick beside decoding it, and writing
// beside serialising.
constexpr uint64_t kProgressScale = 10000;
constexpr uint64_t kReadShare = kProgressScale / 4;
constexpr uint64_t kSerializeShare = kProgressScale / 2;
// Decoding reports every this many bytes; serialising every this many records.
constexpr uint64_t kDecodeStep = 64 * 1024;
constexpr uint64_t kSerializeStep = 1024;
}  // namespace

void CTarnelDoc::OpenFile(const std::string& path, IProgress* progress) {
  ProgressShare reading(progress, 0, kReadShare, kProgressScale);
  ProgressShare decoding(progress, kReadShare, kProgressScale, kProgressScale);
  std::string bytes = ReadFileBytes(path, reading.get());
  OpenBytes(bytes, path, decoding.get());
}

void CTarnelDoc::OpenBytes(std::string_view bytes, const std::string& name, IProgress* progress) {
  DocumentContents contents;
  try {
    ProgressTicker ticker(progress, bytes.size(), kDecodeStep);
    ArchiveReader ar(bytes.data(), bytes.size());
    ar.SetProgress(&ticker);
    contents = ReadContents(ar);
    // The last chance to stop: from here on the document changes.
    ticker.Finish();
  } catch (const ArchiveError& e) {
    throw DocumentFileError(name + ": damaged file, " + e.what());
  }
  TakeContents(std::move(contents));
}

std::string CTarnelDoc::SaveToBytes(IProgress* progress) {
  std::string bytes;
  ArchiveWriter ar(&bytes);
  // The registry counts every record (only a damaged file gives two records one identifier,
  // and the ticker keeps to the total then).
  ProgressTicker ticker(progress, uint64_t(idMap_.Count()), kSerializeStep, false);
  ar.SetProgress(&ticker);
  Serialize(ar);
  ticker.Finish();
  return bytes;
}

void CTarnelDoc::SaveFile(const std::string& path, IProgress* progress) {
  ProgressShare serializing(progress, 0, kSerializeShare, kProgressScale, false);
  ProgressShare writing(progress, kSerializeShare, kProgressScale, kProgressScale, false);
  WriteFileAtomically(path, SaveToBytes(serializing.get()), writing.get());
}
