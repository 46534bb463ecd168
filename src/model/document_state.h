// A compact, read-only picture of a document: every record's own data and its place in the
// tree. Two pictures taken around an edit are what undo and redo work from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTarnelDoc;
class CRecord;

// One record as the document holds it, without its children.
struct RecordData {
  uint32_t id = 0;
  uint8_t kind = 0;         // RecordKind
  int32_t parent = -1;      // index of the parent in the state's list; -1 for a group
  bool registered = false;  // the registry maps the identifier to this record
  std::string name;
  int8_t atomType = 0;
  uint8_t typeCode = 0;
  uint8_t flags = 0;
  bool eoc = false;
  std::string valueText;
  uint32_t rawValue = 0;
  std::vector<uint32_t> incoming;  // incoming-link sources, in list order
  // Registry key of the atom's property that supplies the decimal places; 0 for none.
  uint16_t decimalPointKey = 0;

  // Everything but the place in the tree.
  bool SameContent(const RecordData& o) const {
    return id == o.id && kind == o.kind && name == o.name && atomType == o.atomType &&
           typeCode == o.typeCode && flags == o.flags && eoc == o.eoc && valueText == o.valueText &&
           rawValue == o.rawValue && incoming == o.incoming && decimalPointKey == o.decimalPointKey;
  }
  size_t MemoryBytes() const {
    return sizeof(*this) + name.capacity() + valueText.capacity() +
           incoming.capacity() * sizeof(uint32_t);
  }
};

struct DocumentState {
  // Pre-order: a group, then its branch; an atom is followed by its properties. Children of
  // one parent appear in list order.
  std::vector<RecordData> records;
  uint16_t lastId = 0;
  // Every record has a registry key (the low 16 bits of its identifier) of its own, not 0,
  // and the registry maps that key to it. Only then can records be found again by key.
  bool keyed = true;

  size_t MemoryBytes() const;
};

inline uint16_t KeyOf(uint32_t id) {
  return uint16_t(id & 0xFFFF);
}

// One record's own data as a picture holds it (its place in the tree is left at -1).
void DescribeRecord(const CTarnelDoc& doc, const CRecord* record, RecordData* out);
// The record's own fields only: identifier, kind, name, atom type and the property's fields.
RecordData FieldsOf(const CRecord* record);
// A new record in no document holding `d`'s own fields (identifier and incoming links left out,
// the pattern as stored state); null for an unknown kind.
std::unique_ptr<CRecord> MakeRecordFromData(RecordData d);

// Reads the document without changing anything: no value is converted, no notification posted.
DocumentState CaptureState(const CTarnelDoc& doc);
// The same into an existing picture, reusing its memory: taken twice for every edit of a large
// document, a fresh picture would cost more in page faults than in reading.
void CaptureState(const CTarnelDoc& doc, DocumentState* into);
