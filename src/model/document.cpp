#include "document.h"

#include <algorithm>
#include <unordered_set>

#include "archive.h"
#include "archive_format.h"
#include "value_types.h"

namespace {

const char* const kDefaultGroups[] = {"Hardware", "Logic", "Network"};

std::pair<int, int> ImagesOf(const CRecord* r) {
  switch (GetKind(r)) {
    case kKindGroup:
      return {kImageGroup, kImageGroup + 1};
    case kKindObject:
      return {kImageObject, kImageObject + 1};
    case kKindAtom:
      return {kImageAtom, kImageAtom + 1};
    default:
      if (static_cast<const CPropertyItem*>(r)->typeCode == kTypeLinkTo)
        return {kImageLink, kImageLink + 1};
      return {kImageProperty, kImageProperty + 1};
  }
}

}  // namespace

CTarnelDoc::CTarnelDoc() = default;

CTarnelDoc::~CTarnelDoc() {
  treeView = nullptr;
  DeleteContents();
}

// Appends a fresh record to its parent's list and registers it. The identifier is drawn last,
// so a refused creation uses none.
template <class T>
T* CTarnelDoc::Attach(CRecord* parent, std::unique_ptr<T> record) {
  T* raw = record.get();
  uint16_t id = idMap.NewId(raw);
  if (id == 0) return nullptr;  // every identifier is taken; the record goes again
  raw->id = id;
  if constexpr (std::is_same_v<T, CPropertyItem>)
    static_cast<CAtom*>(parent)->AddProperty(std::move(record));
  else
    static_cast<CChildHolder*>(parent)->AddChild(std::move(record));
  return raw;
}

CBase* CTarnelDoc::NewGroup() {
  auto g = std::make_unique<CBase>();
  uint16_t id = idMap.NewId(g.get());
  if (id == 0) return nullptr;
  g->id = id;
  groups.push_back(std::move(g));
  return groups.back().get();
}

CObj* CTarnelDoc::NewObject(CRecord* parent) {
  if (!AsChildHolder(parent)) return nullptr;
  return Attach(parent, std::make_unique<CObj>());
}

CAtom* CTarnelDoc::NewAtom(CRecord* parent) {
  if (!AsObject(parent)) return nullptr;
  return Attach(parent, std::make_unique<CAtom>());
}

CPropertyItem* CTarnelDoc::NewProperty(CRecord* parent, bool ask) {
  if (!AsAtom(parent)) return nullptr;
  auto p = std::make_unique<CPropertyItem>();
  if (ask && addPropertyDialog && !addPropertyDialog(*p)) return nullptr;
  return Attach(parent, std::move(p));
}

void CTarnelDoc::CreateDefaultGroups() {
  if (!groups.empty()) return;
  for (const char* name : kDefaultGroups)
    if (CBase* g = NewGroup()) g->name = name;
}

CRecord* CTarnelDoc::CopyInto(CRecord* record, CRecord* newParent) {
  std::unordered_set<const CRecord*> made;
  CRecord* copy = CopyRecord(record, newParent, made);
  if (!copy && !made.empty()) {
    // Out of identifiers half way: take the partial copy out again.
    CRecord* top = const_cast<CRecord*>(*std::find_if(
        made.begin(), made.end(), [&](const CRecord* r) { return r->parent == newParent; }));
    if (auto* atom = AsAtom(newParent))
      atom->RemoveProperty(static_cast<CPropertyItem*>(top));
    else if (auto* holder = AsChildHolder(newParent))
      holder->RemoveChild(top);
  }
  return copy;
}

// `made` holds the records this copy has created so far: pasting a branch into itself (or into
// one of its descendants) must not copy the copy.
CRecord* CTarnelDoc::CopyRecord(CRecord* record, CRecord* newParent,
                                std::unordered_set<const CRecord*>& made) {
  switch (GetKind(record)) {
    case kKindProperty: {
      auto* src = static_cast<CPropertyItem*>(record);
      CPropertyItem* p = NewProperty(newParent, false);
      if (!p) return nullptr;
      made.insert(p);
      p->name = src->name;
      p->valueText = src->valueText;
      p->typeCode = src->typeCode;
      p->eoc = src->eoc;
      p->flags = src->flags;
      return p;
    }
    case kKindAtom: {
      auto* src = static_cast<CAtom*>(record);
      CAtom* a = NewAtom(newParent);
      if (!a) return nullptr;
      made.insert(a);
      a->name = src->name;
      for (const auto& p : src->properties)
        if (!CopyRecord(p.get(), a, made)) return nullptr;
      return a;
    }
    case kKindObject: {
      auto* src = static_cast<CObj*>(record);
      CObj* o = NewObject(newParent);
      if (!o) return nullptr;
      made.insert(o);
      o->name = src->name;
      for (int i = 0; i < src->GetChildCount(); ++i) {
        CRecord* child = src->GetChild(i);
        if (made.count(child)) continue;
        if (!CopyRecord(child, o, made)) return nullptr;
      }
      return o;
    }
    default:
      return nullptr;
  }
}

void CTarnelDoc::RemoveGroup(CBase* group) {
  for (auto it = groups.begin(); it != groups.end(); ++it)
    if (it->get() == group) {
      groups.erase(it);
      return;
    }
}

void CTarnelDoc::DeleteAllGroups() {
  for (auto& g : groups) g.reset();
  groups.clear();
}

void CTarnelDoc::RegisterSubtree(CRecord* record, TreeItemHandle parentItem) {
  int kind = GetKind(record);
  if (kind == kKindNone) return;
  idMap.SetAt(record->id, record);
  TreeItemHandle item = nullptr;
  if (treeView) {
    auto [image, selected] = ImagesOf(record);
    item = treeView->InsertItem(parentItem, record->name, image, selected, record->id);
  }
  switch (kind) {
    case kKindGroup:
    case kKindObject:
      for (const auto& c : static_cast<CChildHolder*>(record)->children) {
        c->parent = record;
        RegisterSubtree(c.get(), item);
      }
      break;
    case kKindAtom: {
      auto* atom = static_cast<CAtom*>(record);
      for (const auto& p : atom->properties) {
        p->parent = atom;
        p->decimalPoint = nullptr;
        if (p->name == "DecPoint")
          for (const auto& q : atom->properties) q->decimalPoint = p.get();
        RegisterSubtree(p.get(), item);
      }
      break;
    }
    default:
      break;
  }
}

void CTarnelDoc::ShowSubtree(CRecord* record, TreeItemHandle parentItem) {
  int kind = GetKind(record);
  if (kind == kKindNone) return;
  TreeItemHandle item = nullptr;
  if (treeView) {
    auto [image, selected] = ImagesOf(record);
    item = treeView->InsertItem(parentItem, record->name, image, selected, record->id);
  }
  if (kind == kKindObject || kind == kKindGroup) {
    for (const auto& c : static_cast<CChildHolder*>(record)->children)
      RegisterSubtree(c.get(), item);
  } else if (kind == kKindAtom) {
    for (const auto& p : static_cast<CAtom*>(record)->properties) RegisterSubtree(p.get(), item);
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
      if (groupMark && p->IsFlagSet(0)) p->ClearFlag(0);
      if (p->typeCode == kTypeLinkTo)
        if (CPropertyItem* target = AsProperty(idMap.Lookup(uint32_t(AtoI(p->valueText)))))
          target->AddIncomingLink(p->id);
      break;
    }
    default:
      break;
  }
}

void CTarnelDoc::RebuildTree() {
  TreeItemHandle root = nullptr;
  if (treeView) {
    treeView->DeleteAllItems();
    root = treeView->InsertRoot();
  }
  for (const auto& g : groups) RegisterSubtree(g.get(), root);
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
  DeleteContents();
  groups = std::move(contents.groups);
  idMap.SetLastId(contents.lastId);
  RebuildTree();
}

bool CTarnelDoc::OnNewDocument() {
  DeleteContents();
  if (treeView) treeView->InsertRoot();
  CreateDefaultGroups();
  return true;
}

void CTarnelDoc::DeleteContents() {
  if (treeView) treeView->DeleteAllItems();
  importStack.clear();
  DeleteAllGroups();
  idMap.Clear();
}

void CTarnelDoc::OpenFile(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
  DocumentContents contents;
  try {
    ArchiveReader ar(bytes.data(), bytes.size());
    contents = ReadContents(ar);
  } catch (const ArchiveError& e) {
    throw DocumentFileError(path + ": damaged file, " + e.what());
  }
  TakeContents(std::move(contents));
}

std::string CTarnelDoc::SaveToBytes() {
  std::string bytes;
  ArchiveWriter ar(&bytes);
  Serialize(ar);
  return bytes;
}

void CTarnelDoc::SaveFile(const std::string& path) {
  WriteFileAtomically(path, SaveToBytes());
}
