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
  idMap.SetEvents(&events_);
}

CTarnelDoc::~CTarnelDoc() {
  // Nobody is told any more: observers may be gone before the document.
  idMap.SetEvents(nullptr);
  Clear();
}

int CTarnelDoc::RowCount(const CRecord* parent) const {
  switch (GetKind(parent)) {
    case kKindNone:
      return int(groups.size());
    case kKindGroup:
    case kKindObject:
      return static_cast<const CChildHolder*>(parent)->GetChildCount();
    case kKindAtom:
      return static_cast<const CAtom*>(parent)->GetPropertyCount();
    default:
      return 0;
  }
}

CRecord* CTarnelDoc::RecordAt(const CRecord* parent, int row) const {
  switch (GetKind(parent)) {
    case kKindNone:
      return row >= 0 && row < int(groups.size()) ? groups[size_t(row)].get() : nullptr;
    case kKindGroup:
    case kKindObject:
      return static_cast<const CChildHolder*>(parent)->GetChild(row);
    case kKindAtom:
      return static_cast<const CAtom*>(parent)->GetProperty(row);
    default:
      return nullptr;
  }
}

int CTarnelDoc::RowOf(const CRecord* record) const {
  if (!record) return -1;
  if (record->Kind() == kKindGroup) {
    for (size_t i = 0; i < groups.size(); ++i)
      if (groups[i].get() == record) return int(i);
    return -1;
  }
  switch (GetKind(record->parent)) {
    case kKindGroup:
    case kKindObject:
      return static_cast<const CChildHolder*>(record->parent)->children.IndexOf(record);
    case kKindAtom:
      return static_cast<const CAtom*>(record->parent)->properties.IndexOf(record);
    default:
      return -1;
  }
}

// Puts a record into a list without telling anyone; the caller has checked the kinds.
static void PutInList(CTarnelDoc& doc, CRecord* parent, int row, std::unique_ptr<CRecord> r) {
  switch (GetKind(parent)) {
    case kKindNone: {
      row = std::clamp(row, 0, int(doc.groups.size()));
      r->parent = nullptr;
      doc.groups.emplace(doc.groups.begin() + row, static_cast<CBase*>(r.release()));
      break;
    }
    case kKindAtom:
      static_cast<CAtom*>(parent)->InsertProperty(
          row, std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(r.release())));
      break;
    default:
      static_cast<CChildHolder*>(parent)->InsertChild(row, std::move(r));
      break;
  }
}

bool CTarnelDoc::InsertRecord(CRecord* parent, int row, std::unique_ptr<CRecord> record) {
  if (!record || !CanHold(parent, record.get())) return false;
  row = std::clamp(row, 0, RowCount(parent));
  events_.RowsAboutToBeInserted(parent, row, 1);
  PutInList(*this, parent, row, std::move(record));
  events_.RowsInserted(parent, row, 1);
  return true;
}

// Appends a fresh record to its parent's list and registers it. The identifier is drawn last,
// so a refused creation uses none.
CRecord* CTarnelDoc::Attach(CRecord* parent, std::unique_ptr<CRecord> record) {
  if (!CanHold(parent, record.get())) return nullptr;
  CRecord* raw = record.get();
  uint16_t id = idMap.NewId(raw);
  if (id == 0) return nullptr;  // every identifier is taken; the record goes again
  raw->id = id;
  InsertRecord(parent, RowCount(parent), std::move(record));
  return raw;
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
  if (!groups.empty()) return;
  for (const char* name : kDefaultGroups) NewGroup(name);
}

// The copy of one record and its branch, not yet in any list; each record registered under
// a fresh identifier. Null when the identifiers run out (what was made goes again).
std::unique_ptr<CRecord> CTarnelDoc::CopyAside(const CRecord* record, int parentKind) {
  if (!CanHold(parentKind, GetKind(record))) return nullptr;
  std::unique_ptr<CRecord> copy;
  switch (record->Kind()) {
    case kKindProperty: {
      auto* src = static_cast<const CPropertyItem*>(record);
      auto p = std::make_unique<CPropertyItem>();
      p->valueText = src->valueText;
      p->typeCode = src->typeCode;
      p->eoc = src->eoc;
      p->flags = src->flags;
      copy = std::move(p);
      break;
    }
    case kKindAtom:
      copy = std::make_unique<CAtom>();
      break;
    case kKindObject:
      copy = std::make_unique<CObj>();
      break;
    default:
      return nullptr;
  }
  copy->name = record->name;
  uint16_t id = idMap.NewId(copy.get());
  if (id == 0) return nullptr;
  copy->id = id;
  if (auto* src = static_cast<const CAtom*>(AsAtom(const_cast<CRecord*>(record)))) {
    auto* atom = static_cast<CAtom*>(copy.get());
    for (const auto& p : src->properties) {
      auto c = CopyAside(p.get(), kKindAtom);
      if (!c) return nullptr;
      atom->AddProperty(std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(c.release())));
    }
  } else if (auto* src = AsChildHolder(const_cast<CRecord*>(record))) {
    auto* holder = static_cast<CChildHolder*>(copy.get());
    for (const auto& child : src->children) {
      auto c = CopyAside(child.get(), record->Kind());
      if (!c) {
        if (CanHold(record->Kind(), GetKind(child.get()))) return nullptr;
        continue;  // a child its parent may not hold is not copied (an atom in a group)
      }
      holder->AddChild(std::move(c));
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
  if (CPropertyItem* p = AsProperty(record)) {
    // Its siblings forget it as their decimal-point property before it goes.
    for (const auto& q : static_cast<CAtom*>(list)->properties)
      if (q.get() != p && q->decimalPoint == p) {
        RecordChange change(events_, q.get());
        q->decimalPoint = nullptr;
      }
  }
  events_.RowsAboutToBeRemoved(list, row, 1);
  std::unique_ptr<CRecord> taken;
  switch (GetKind(list)) {
    case kKindNone:
      taken.reset(groups[size_t(row)].release());
      groups.erase(groups.begin() + row);
      break;
    case kKindAtom:
      taken = static_cast<CAtom*>(list)->DetachProperty(AsProperty(record));
      break;
    default:
      taken = static_cast<CChildHolder*>(list)->DetachChild(record);
      break;
  }
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
  std::unique_ptr<CRecord> taken;
  switch (GetKind(oldParent)) {
    case kKindNone:
      taken.reset(groups[size_t(from)].release());
      groups.erase(groups.begin() + from);
      break;
    case kKindAtom: {
      // The list alone moves it: the decimal-point references are refreshed below.
      auto& props = static_cast<CAtom*>(oldParent)->properties;
      CPropertyItem* keep = props.At(from);
      CPropertyItem* dp = keep->decimalPoint;
      taken = props.Take(keep);
      keep->decimalPoint = dp;
      break;
    }
    default:
      taken = static_cast<CChildHolder*>(oldParent)->DetachChild(record);
      break;
  }
  PutInList(*this, newParent, row, std::move(taken));
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
  for (auto& g : groups) g.reset();
  groups.clear();
}

void CTarnelDoc::DeleteAllGroups() {
  ResetScope reset(events_);
  Clear();
}

void CTarnelDoc::ReplaceGroups(std::vector<std::unique_ptr<CBase>> incoming) {
  ResetScope reset(events_);
  Clear();
  // Stale identifiers must not find anything while the new tree is not registered yet; the
  // counter of identifiers stays where it was.
  uint16_t lastId = idMap.GetLastId();
  idMap.Clear();
  idMap.SetLastId(lastId);
  for (auto& g : incoming)
    if (g) groups.push_back(std::move(g));
  RebuildTree();
}

void CTarnelDoc::RegisterSubtree(CRecord* record) {
  int kind = GetKind(record);
  if (kind == kKindNone) return;
  idMap.SetAt(record->id, record);
  switch (kind) {
    case kKindGroup:
    case kKindObject:
      for (const auto& c : static_cast<CChildHolder*>(record)->children) {
        c->parent = record;
        RegisterSubtree(c.get());
      }
      break;
    case kKindAtom: {
      // Every "DecPoint" of the list points all properties up to itself at itself, so the last
      // one wins for everything up to it and the properties after it refer to nothing. Found
      // first and set in the same walk, so the cost stays linear however many there are.
      auto* atom = static_cast<CAtom*>(record);
      CPropertyItem* decimalPoint = nullptr;
      for (const auto& p : atom->properties)
        if (p->name == "DecPoint") decimalPoint = p.get();
      for (const auto& p : atom->properties) {
        p->parent = atom;
        p->decimalPoint = decimalPoint;
        if (p.get() == decimalPoint) decimalPoint = nullptr;
        RegisterSubtree(p.get());
      }
      break;
    }
    default:
      break;
  }
}

void CTarnelDoc::ResolveLinks(CRecord* record) {
  switch (GetKind(record)) {
    case kKindGroup:
      groupMark = record->name == "Hardware";
      [[fallthrough]];
    case kKindObject:
      for (const auto& c : static_cast<CChildHolder*>(record)->children) ResolveLinks(c.get());
      break;
    case kKindAtom:
      for (const auto& p : static_cast<CAtom*>(record)->properties) ResolveLinks(p.get());
      break;
    case kKindProperty: {
      auto* p = static_cast<CPropertyItem*>(record);
      if (groupMark && p->IsFlagSet(0)) {
        RecordChange change(events_, p);
        p->ClearFlag(0);
      }
      if (p->typeCode == kTypeLinkTo)
        if (CPropertyItem* target = AsProperty(idMap.Lookup(uint32_t(AtoI(p->valueText)))))
          if (target->FindIncomingLink(p->id) < 0) {
            RecordChange change(events_, target);
            target->AddIncomingLink(p->id);
          }
      break;
    }
    default:
      break;
  }
}

void CTarnelDoc::RebuildTree() {
  ResetScope reset(events_);
  RelinkAll();
}

void CTarnelDoc::RelinkAll() {
  for (const auto& g : groups) RegisterSubtree(g.get());
  for (const auto& g : groups) ResolveLinks(g.get());
}

void CTarnelDoc::Serialize(ArchiveWriter& ar) {
  ar.WriteCount(uint32_t(groups.size()));
  for (const auto& g : groups) ar.WriteObjectRef(g.get());
  ar.WriteWord(idMap.GetLastId());
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
  groups = std::move(contents.groups);
  idMap.SetLastId(contents.lastId);
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
  idMap.Clear();
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
  ProgressTicker ticker(progress, uint64_t(idMap.Count()), kSerializeStep, false);
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

