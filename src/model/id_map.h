// The identifier registry: hands out identifiers and maps them back to records.
#pragma once

#include <cstdint>
#include <vector>

class CRecord;
class CDocumentEvents;

class CIdMap {
 public:
  CIdMap();
  ~CIdMap();
  CIdMap(const CIdMap&) = delete;
  CIdMap& operator=(const CIdMap&) = delete;

  // The next free number after lastId (wrapping from 65535 to 1, skipping numbers that a
  // registered record holds), entered for `record`. 0 when all 65,535 numbers are taken; then
  // nothing changes.
  uint16_t NewId(CRecord* record);
  // The record registered under the low 16 bits of `id`, or null.
  CRecord* Lookup(uint32_t id) const { return slots_[id & 0xFFFF]; }
  // Enters `record` under the low 16 bits of `id`, replacing whatever was there; a record has
  // at most one entry, so an older entry of the same record goes.
  void SetAt(uint32_t id, CRecord* record);
  // Removes every entry; lastId becomes 0.
  void Clear();

  uint16_t GetLastId() const { return lastId_; }
  void SetLastId(uint16_t v) { lastId_ = v; }
  int Count() const { return count_; }

  // Called by a record's destructor.
  void Forget(CRecord* record);

  // The events of the document that owns this registry: a registered property tells its value
  // changes there. Null for a registry of no document.
  CDocumentEvents* Events() const { return events_; }
  void SetEvents(CDocumentEvents* events) { events_ = events; }

 private:
  void Unlink(uint16_t key);

  std::vector<CRecord*> slots_;  // 65,536 slots; 0 stays empty
  uint16_t lastId_ = 0;
  int count_ = 0;
  CDocumentEvents* events_ = nullptr;
};
