// The records of a configuration base: groups hold objects, objects hold objects and atoms,
// atoms hold typed properties, and a property lists the LINK_TO properties that point at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CIdMap;
class CAtom;
class CDocumentEvents;
class CRecordList;

// Record kinds, the numbers every tree walk dispatches on.
enum RecordKind : int {
  kKindNone = 0,
  kKindGroup = 1,
  kKindObject = 2,
  kKindAtom = 3,
  kKindProperty = 4,
};

// Common part of the four record kinds. The registry that holds an entry for a record is
// remembered here so that destroying the record removes the entry: no lookup can reach a
// destroyed record.
class CRecord {
 public:
  CRecord() = default;
  explicit CRecord(uint32_t id) : id(id) {}
  CRecord(const CRecord&) = delete;
  CRecord& operator=(const CRecord&) = delete;
  virtual ~CRecord();

  virtual RecordKind Kind() const = 0;
  // The list of the records this one holds: a group's or an object's children, an atom's
  // properties; null for a property.
  virtual CRecordList* Children() { return nullptr; }
  const CRecordList* Children() const { return const_cast<CRecord*>(this)->Children(); }

  const std::string& GetName() const { return name; }
  void SetName(std::string n) { name = std::move(n); }
  uint32_t GetId() const { return id; }
  void SetId(uint32_t v) { id = v; }

  std::string name;
  uint32_t id = 0;
  // The group or object whose list holds this record (for a property: its owning atom).
  // Not owning; null until the record is attached.
  CRecord* parent = nullptr;

  // The events of the document whose registry holds this record; null for a record that is in
  // no document (being read, travelling in a message, waiting in an import).
  CDocumentEvents* DocumentEvents() const;

 private:
  friend class CIdMap;
  CIdMap* registry_ = nullptr;
  uint16_t registryKey_ = 0;
};

// "group", "object", "atom" or "property", as the command line and the Python module name kinds.
const char* RecordKindName(int kind);

// 0 for null, otherwise the record's kind.
inline int GetKind(const CRecord* r) {
  return r ? r->Kind() : kKindNone;
}

// The ordered list of records one record holds, or the document's groups: owns them, finds them
// by identity, and makes its owner the parent of whatever joins it (null for the groups). It
// does not ask whether its owner may hold a record: the document's operations do (CanHold).
class CRecordList {
 public:
  explicit CRecordList(CRecord* owner) : owner_(owner) {}
  CRecordList(const CRecordList&) = delete;
  CRecordList& operator=(const CRecordList&) = delete;
  ~CRecordList() { Clear(); }

  int Count() const { return int(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // Null for an index out of range.
  CRecord* At(int i) const { return i >= 0 && i < Count() ? items_[size_t(i)].get() : nullptr; }
  // -1 when the record is not in the list.
  int IndexOf(const CRecord* r) const;
  // Inserts at `index`, clamped into 0..Count().
  CRecord* Insert(int index, std::unique_ptr<CRecord> r);
  CRecord* Append(std::unique_ptr<CRecord> r) { return Insert(Count(), std::move(r)); }
  // Hands the record to the caller; null when it is not in the list.
  std::unique_ptr<CRecord> Take(const CRecord* r) { return TakeAt(IndexOf(r)); }
  // Null for an index out of range.
  std::unique_ptr<CRecord> TakeAt(int i);
  // Hands every record to the caller in list order; the list is left empty.
  std::vector<std::unique_ptr<CRecord>> TakeAll() { return std::exchange(items_, {}); }
  // Destroys the records in list order.
  void Clear();
  void Reserve(size_t n) { items_.reserve(n); }

 protected:
  CRecord* Item(size_t i) const { return items_[i].get(); }

 private:
  CRecord* owner_;
  std::vector<std::unique_ptr<CRecord>> items_;
};

// A list whose records are all of one class, as its owner's kind allows: walked and read as
// that class.
template <class T>
class CRecordListOf : public CRecordList {
 public:
  using CRecordList::CRecordList;
  T* At(int i) const { return static_cast<T*>(CRecordList::At(i)); }
  T* Insert(int index, std::unique_ptr<T> r) {
    return static_cast<T*>(CRecordList::Insert(index, std::move(r)));
  }
  T* Append(std::unique_ptr<T> r) { return Insert(Count(), std::move(r)); }

  class Iterator {
   public:
    Iterator(const CRecordListOf* list, size_t i) : list_(list), i_(i) {}
    T* operator*() const { return static_cast<T*>(list_->Item(i_)); }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return i_ != o.i_; }

   private:
    const CRecordListOf* list_;
    size_t i_;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size_t(Count())); }
};

// Groups and objects hold objects, and atoms in an object (or, in trees that come from
// outside, directly in a group).
class CChildHolder : public CRecord {
 public:
  using CRecord::CRecord;
  CRecordList* Children() override { return &children; }
  int GetChildCount() const { return children.Count(); }
  CRecord* GetChild(int i) const { return children.At(i); }
  // Appends and makes this record the child's parent.
  CRecord* AddChild(std::unique_ptr<CRecord> child) { return children.Append(std::move(child)); }
  CRecord* InsertChild(int index, std::unique_ptr<CRecord> child) {
    return children.Insert(index, std::move(child));
  }

  CRecordListOf<CRecord> children{this};
};

class CBase : public CChildHolder {
 public:
  using CChildHolder::CChildHolder;
  RecordKind Kind() const override { return kKindGroup; }
};

class CObj : public CChildHolder {
 public:
  using CChildHolder::CChildHolder;
  RecordKind Kind() const override { return kKindObject; }
};

class CPropertyItem;

class CPropHolder : public CRecord {
 public:
  using CRecord::CRecord;
  CRecordList* Children() override { return &properties; }
  int GetPropertyCount() const { return properties.Count(); }
  inline CPropertyItem* GetProperty(int i) const;
  // Appends and makes this atom the property's owner.
  inline CPropertyItem* AddProperty(std::unique_ptr<CPropertyItem> p);

  CRecordListOf<CPropertyItem> properties{this};
};

class CAtom : public CPropHolder {
 public:
  using CPropHolder::CPropHolder;
  RecordKind Kind() const override { return kKindAtom; }
  int8_t type = 0;
};

// One LINK_TO property that points at the property holding this entry.
struct CIncomingLink {
  uint32_t sourceId = 0;
};

class CPropertyItem : public CRecord {
 public:
  CPropertyItem() = default;
  explicit CPropertyItem(uint32_t id) : CRecord(id) {}
  RecordKind Kind() const override { return kKindProperty; }

  CAtom* GetOwner() const { return static_cast<CAtom*>(parent); }
  const std::string& GetValueText() const { return valueText; }
  void SetValueText(std::string t) { valueText = std::move(t); }

  uint32_t GetRawValue() const { return rawValue_; }
  // The one way the pattern changes: up to four bytes, little-endian, into the low bytes.
  // A pattern that differs from the stored one is told to the document's observers
  // (ValueChanged) when the property is in a document.
  void SetRawValue(const void* bytes, size_t size);
  void SetRawValue(uint32_t value);
  // The pattern of a record being read or restored: the stored state, not a change, so nothing
  // is told.
  void InitRawValue(uint32_t value) { rawValue_ = value; }

  bool IsFlagSet(int bit) const { return bit >= 0 && bit < 8 && (flags >> bit) & 1; }
  void SetFlag(int bit) {
    if (bit >= 0 && bit < 6) flags |= uint8_t(1u << bit);
  }
  void ClearFlag(int bit) {
    if (bit >= 0 && bit < 8) flags &= uint8_t(~(1u << bit));
  }

  int GetIncomingLinkCount() const { return int(incomingLinks.size()); }
  const CIncomingLink* GetIncomingLink(int i) const {
    return i >= 0 && i < GetIncomingLinkCount() ? &incomingLinks[size_t(i)] : nullptr;
  }
  int FindIncomingLink(uint32_t sourceId) const;
  void AddIncomingLink(uint32_t sourceId);
  // Moves the last entry into the removed one's slot; order is not kept.
  void RemoveIncomingLink(uint32_t sourceId);

  // Decimal places by which a SHORT typed on the form is scaled, from the atom's "DecPoint".
  int GetDecimals() const;

  // Conversions between the value text and the 32-bit pattern, by type code.
  void UpdateRawFromText();
  void SetNumericValue(double x);
  void UpdateTextFromRaw(const std::string& text);

  uint8_t typeCode = 0;  // 0..8; 255 where a type name was not recognised
  uint8_t flags = 0;     // option bits 0..5
  bool eoc = false;      // end of chain: the form shows the end of the LINK_TO chain
  std::string valueText;
  std::vector<CIncomingLink> incomingLinks;
  CPropertyItem* decimalPoint = nullptr;  // the atom's "DecPoint" property, set by the tree walk

 private:
  uint32_t rawValue_ = 0;
};

CPropertyItem* CPropHolder::GetProperty(int i) const {
  return properties.At(i);
}
CPropertyItem* CPropHolder::AddProperty(std::unique_ptr<CPropertyItem> p) {
  return properties.Append(std::move(p));
}

// A record of `kind` with every field empty, in no list; null for a number that names no kind.
std::unique_ptr<CRecord> NewRecordOfKind(int kind);

// A record of `src`'s kind with its own fields (name; an atom's type; a property's type, flags,
// end of chain, value text and pattern), in no list: no identifier, no children, no links.
std::unique_ptr<CRecord> CopyOwnFields(const CRecord& src);

// Checked down-casts: null when the record is of another kind.
CBase* AsGroup(CRecord* r);
CObj* AsObject(CRecord* r);
CAtom* AsAtom(CRecord* r);
CPropertyItem* AsProperty(CRecord* r);
CChildHolder* AsChildHolder(CRecord* r);  // a group or an object
const CPropertyItem* AsProperty(const CRecord* r);
inline const CAtom* AsAtom(const CRecord* r) {
  return AsAtom(const_cast<CRecord*>(r));
}
inline const CChildHolder* AsChildHolder(const CRecord* r) {
  return AsChildHolder(const_cast<CRecord*>(r));
}

// Calls `fn` with each child in list order: a group's or object's children, an atom's
// properties; nothing for a property.
template <class Fn>
void ForEachChild(const CRecord* r, Fn&& fn) {
  if (const CRecordList* list = r ? r->Children() : nullptr)
    for (int i = 0; i < list->Count(); ++i) fn(list->At(i));
}

// "/Group/Object/.../Atom/Property" for the record, followed by `tail`.
std::string GetRecordPath(const CRecord* r, const std::string& tail = std::string());

// The first child of `parent` with the given name. For an atom, a name written as
// "Name=value" finds the property "Name".
CRecord* FindChild(const CRecord* parent, const std::string& name);
