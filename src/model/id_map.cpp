#include "id_map.h"

#include "records.h"

CIdMap::CIdMap() : slots_(0x10000, nullptr) {}

CIdMap::~CIdMap() {
  Clear();
}

uint16_t CIdMap::NewId(CRecord* record) {
  uint16_t next = lastId_;
  for (int tries = 0; tries < 0xFFFF; ++tries) {
    next = next == 0xFFFF ? 1 : uint16_t(next + 1);
    if (!slots_[next]) {
      lastId_ = next;
      SetAt(next, record);
      return next;
    }
  }
  return 0;
}

void CIdMap::SetAt(uint32_t id, CRecord* record) {
  uint16_t key = uint16_t(id & 0xFFFF);
  if (record->registry_ == this && slots_[record->registryKey_] == record) {
    if (record->registryKey_ == key) return;
    Unlink(record->registryKey_);
  } else if (record->registry_) {
    record->registry_->Forget(record);
  }
  if (slots_[key]) {
    // The record registered here before keeps living elsewhere in the tree but loses its entry.
    slots_[key]->registry_ = nullptr;
    --count_;
  }
  slots_[key] = record;
  record->registry_ = this;
  record->registryKey_ = key;
  ++count_;
}

void CIdMap::Unlink(uint16_t key) {
  if (CRecord* r = slots_[key]) {
    r->registry_ = nullptr;
    slots_[key] = nullptr;
    --count_;
  }
}

void CIdMap::Forget(CRecord* record) {
  if (record->registry_ == this && slots_[record->registryKey_] == record)
    Unlink(record->registryKey_);
  record->registry_ = nullptr;
}

void CIdMap::Clear() {
  if (count_ > 0)
    for (size_t i = 0; i < slots_.size(); ++i) Unlink(uint16_t(i));
  lastId_ = 0;
}
