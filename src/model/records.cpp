#include "records.h"

#include <algorithm>
#include <cstring>

#include "document_events.h"
#include "id_map.h"
#include "value_types.h"

CRecord::~CRecord() {
  if (registry_) registry_->Forget(this);
}

CDocumentEvents* CRecord::DocumentEvents() const {
  return registry_ ? registry_->Events() : nullptr;
}

int CRecordList::IndexOf(const CRecord* r) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == r) return int(i);
  return -1;
}

CRecord* CRecordList::Insert(int index, std::unique_ptr<CRecord> r) {
  r->parent = owner_;
  index = std::clamp(index, 0, Count());
  return items_.insert(items_.begin() + index, std::move(r))->get();
}

std::unique_ptr<CRecord> CRecordList::TakeAt(int i) {
  if (i < 0 || i >= Count()) return nullptr;
  std::unique_ptr<CRecord> out = std::move(items_[size_t(i)]);
  items_.erase(items_.begin() + i);
  return out;
}

void CRecordList::Clear() {
  for (auto& r : items_) r.reset();
  items_.clear();
}

void CPropertyItem::SetRawValue(const void* bytes, size_t size) {
  if (size > 4) size = 4;
  unsigned char b[4] = {};
  if (size) std::memcpy(b, bytes, size);
  SetRawValue(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

void CPropertyItem::SetRawValue(uint32_t value) {
  if (value == rawValue_) return;
  uint32_t previous = rawValue_;
  rawValue_ = value;
  if (CDocumentEvents* events = DocumentEvents()) events->ValueChanged(this, previous);
}

int CPropertyItem::FindIncomingLink(uint32_t sourceId) const {
  for (size_t i = 0; i < incomingLinks.size(); ++i)
    if (incomingLinks[i].sourceId == sourceId) return int(i);
  return -1;
}

void CPropertyItem::AddIncomingLink(uint32_t sourceId) {
  if (FindIncomingLink(sourceId) < 0) incomingLinks.push_back({sourceId});
}

void CPropertyItem::RemoveIncomingLink(uint32_t sourceId) {
  int i = FindIncomingLink(sourceId);
  if (i < 0) return;
  incomingLinks[size_t(i)] = incomingLinks.back();
  incomingLinks.pop_back();
}

int CPropertyItem::GetDecimals() const {
  if (!decimalPoint) return 0;
  int64_t d = int64_t(int32_t(decimalPoint->GetRawValue())) - 3;
  return int(d < 0 ? -d : d);
}

CBase* AsGroup(CRecord* r) {
  return GetKind(r) == kKindGroup ? static_cast<CBase*>(r) : nullptr;
}
CObj* AsObject(CRecord* r) {
  return GetKind(r) == kKindObject ? static_cast<CObj*>(r) : nullptr;
}
CAtom* AsAtom(CRecord* r) {
  return GetKind(r) == kKindAtom ? static_cast<CAtom*>(r) : nullptr;
}
CPropertyItem* AsProperty(CRecord* r) {
  return GetKind(r) == kKindProperty ? static_cast<CPropertyItem*>(r) : nullptr;
}
const CPropertyItem* AsProperty(const CRecord* r) {
  return GetKind(r) == kKindProperty ? static_cast<const CPropertyItem*>(r) : nullptr;
}
CChildHolder* AsChildHolder(CRecord* r) {
  int k = GetKind(r);
  return k == kKindGroup || k == kKindObject ? static_cast<CChildHolder*>(r) : nullptr;
}

std::unique_ptr<CRecord> NewRecordOfKind(int kind) {
  switch (kind) {
    case kKindGroup:
      return std::make_unique<CBase>();
    case kKindObject:
      return std::make_unique<CObj>();
    case kKindAtom:
      return std::make_unique<CAtom>();
    case kKindProperty:
      return std::make_unique<CPropertyItem>();
    default:
      return nullptr;
  }
}

std::unique_ptr<CRecord> CopyOwnFields(const CRecord& src) {
  std::unique_ptr<CRecord> r = NewRecordOfKind(src.Kind());
  r->name = src.name;
  if (CAtom* a = AsAtom(r.get())) a->type = AsAtom(&src)->type;
  if (CPropertyItem* p = AsProperty(r.get())) {
    const CPropertyItem* from = AsProperty(&src);
    p->typeCode = from->typeCode;
    p->flags = from->flags;
    p->eoc = from->eoc;
    p->valueText = from->valueText;
    p->InitRawValue(from->GetRawValue());
  }
  return r;
}

const char* RecordKindName(int kind) {
  switch (kind) {
    case kKindGroup:
      return "group";
    case kKindObject:
      return "object";
    case kKindAtom:
      return "atom";
    default:
      return "property";
  }
}

std::string GetRecordPath(const CRecord* r, const std::string& tail) {
  // Collect the names from the record up to its group, then join them top-down.
  std::vector<const std::string*> names;
  for (int guard = 0; r && guard < 100000; r = r->parent, ++guard) {
    names.push_back(&r->name);
    if (r->Kind() == kKindGroup) break;
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    path += '/';
    path += **it;
  }
  return path + tail;
}

CRecord* FindChild(const CRecord* parent, const std::string& name) {
  switch (GetKind(parent)) {
    case kKindGroup:
    case kKindObject:
      for (CRecord* c : static_cast<const CChildHolder*>(parent)->children) {
        int k = GetKind(c);
        bool searched = k == kKindObject || (k == kKindAtom && parent->Kind() == kKindObject);
        if (searched && c->name == name) return c;
      }
      return nullptr;
    case kKindAtom: {
      // "Name=value" finds "Name"; a text that begins with "=" is compared whole.
      std::string_view key = name;
      size_t eq = key.find('=');
      if (eq != std::string_view::npos && eq > 0) key = key.substr(0, eq);
      for (CPropertyItem* p : static_cast<const CAtom*>(parent)->properties)
        if (p->name == key) return p;
      return nullptr;
    }
    default:
      return nullptr;
  }
}
