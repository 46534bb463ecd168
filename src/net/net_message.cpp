#include "net/net_message.h"

#include <cstring>
#include <stdexcept>

#include "model/archive.h"
#include "model/archive_format.h"
#include "model/records.h"

using namespace net;

namespace {

// Records inside a message are read without a class description, one level below the message.
constexpr int kElementRecordDepth = 1;

bool IsRecordCode(int code) {
  return code >= kCodeGroup && code <= kCodeProperty;
}

int ClassOfCode(int code) {
  switch (code) {
    case kCodeGroup:
      return archive::kClassBase;
    case kCodeObject:
      return archive::kClassObj;
    case kCodeAtom:
      return archive::kClassAtom;
    default:
      return archive::kClassProperty;
  }
}

[[noreturn]] void NeedMore(const ArchiveReader& ar, const std::string& what) {
  throw ArchiveError(ar.Offset(), what + " longer than the data left", true);
}

}  // namespace

// ---- CNetDataBuffer ----

CNetDataBuffer& CNetDataBuffer::operator=(const CNetDataBuffer& other) {
  if (this != &other) Set(other.Data(), other.Size());
  return *this;
}

void CNetDataBuffer::Set(const void* bytes, uint32_t n) {
  // Copy first: `bytes` may lie inside the block being replaced.
  std::unique_ptr<uint8_t[]> block;
  if (n) {
    block = std::make_unique_for_overwrite<uint8_t[]>(n);
    std::memcpy(block.get(), bytes, n);
  }
  data_ = std::move(block);
  size_ = n;
}

void CNetDataBuffer::Serialize(ArchiveWriter& ar) const {
  ar.WriteDword(size_);
  if (size_) ar.WriteBytes(data_.get(), size_);
}

void CNetDataBuffer::Serialize(ArchiveReader& ar) {
  data_.reset();
  size_ = 0;
  uint32_t n = ar.ReadDword();
  if (n > ar.Remaining()) NeedMore(ar, "byte block of " + std::to_string(n) + " bytes");
  if (n) {
    data_ = std::make_unique_for_overwrite<uint8_t[]>(n);
    ar.ReadBytes(data_.get(), n);
  }
  size_ = n;
}

// ---- CNetMessageData ----

CNetMessageData::CNetMessageData() = default;

CNetMessageData::CNetMessageData(uint32_t v) : code(kCodeUInt) {
  std::memcpy(value, &v, 4);
}

CNetMessageData::CNetMessageData(float v) : code(kCodeFloat) {
  std::memcpy(value, &v, 4);
}

CNetMessageData::CNetMessageData(const CNetMessageData& other) {
  *this = other;
}

CNetMessageData& CNetMessageData::operator=(const CNetMessageData& other) {
  if (this == &other) return *this;
  code = other.code;
  std::memcpy(value, other.value, kValueSize);
  text = other.text;
  buffer = other.buffer;
  group = other.group;
  object = other.object;
  atom = other.atom;
  property = other.property;
  return *this;
}

CNetMessageData CNetMessageData::Byte(uint8_t v) {
  CNetMessageData e;
  e.code = kCodeByte;
  e.value[0] = v;
  return e;
}

CNetMessageData CNetMessageData::Counter(uint32_t v) {
  CNetMessageData e(v);
  e.code = kCodeCounter;
  return e;
}

CNetMessageData CNetMessageData::Text(std::string s) {
  CNetMessageData e;
  e.text = std::move(s);
  return e;
}

CNetMessageData CNetMessageData::Buffer(const void* bytes, uint32_t n) {
  CNetMessageData e;
  e.code = kCodeBuffer;
  e.buffer.Set(bytes, n);
  return e;
}

CNetMessageData CNetMessageData::Record(CRecord* record) {
  CNetMessageData e;
  switch (GetKind(record)) {
    case kKindGroup:
      e.code = kCodeGroup;
      e.group = static_cast<CBase*>(record);
      break;
    case kKindObject:
      e.code = kCodeObject;
      e.object = static_cast<CObj*>(record);
      break;
    case kKindAtom:
      e.code = kCodeAtom;
      e.atom = static_cast<CAtom*>(record);
      break;
    case kKindProperty:
      e.code = kCodeProperty;
      e.property = static_cast<CPropertyItem*>(record);
      break;
    default:
      throw std::invalid_argument("a message element needs a record");
  }
  return e;
}

CNetMessageData CNetMessageData::Raw(int32_t code, const uint8_t (&v)[kValueSize]) {
  CNetMessageData e;
  e.code = code;
  std::memcpy(e.value, v, kValueSize);
  return e;
}

CRecord* CNetMessageData::GetRecord() const {
  switch (uint8_t(code)) {
    case kCodeGroup:
      return group;
    case kCodeObject:
      return object;
    case kCodeAtom:
      return atom;
    case kCodeProperty:
      return property;
    default:
      return nullptr;
  }
}

void CNetMessageData::Serialize(ArchiveWriter& ar) const {
  std::lock_guard<std::mutex> lock(guard_);
  // Writer and reader both go by the byte that travels, so they cannot disagree.
  uint8_t wireCode = uint8_t(code);
  ar.WriteByte(wireCode);
  switch (wireCode) {
    case kCodeText:
      ar.WriteString(text);
      break;
    case kCodeBuffer:
      buffer.Serialize(ar);
      break;
    case kCodeGroup:
    case kCodeObject:
    case kCodeAtom:
    case kCodeProperty: {
      // The code stands in place of a class description: the record's fields follow at once.
      CRecord* record = GetRecord();
      if (!record) throw std::invalid_argument("record element without a record");
      WriteRecordFields(ar, *record);
      break;
    }
    default:
      ar.WriteBytes(value, kValueSize);
      break;
  }
}

std::unique_ptr<CRecord> CNetMessageData::Serialize(ArchiveReader& ar) {
  std::lock_guard<std::mutex> lock(guard_);
  code = ar.ReadByte();
  switch (code) {
    case kCodeText:
      text = ar.ReadString();
      return nullptr;
    case kCodeBuffer:
      buffer.Serialize(ar);
      return nullptr;
    case kCodeGroup:
    case kCodeObject:
    case kCodeAtom:
    case kCodeProperty: {
      std::unique_ptr<CRecord> record =
          ReadRecordFields(ar, ClassOfCode(code), -1, kElementRecordDepth);
      switch (code) {
        case kCodeGroup:
          group = static_cast<CBase*>(record.get());
          break;
        case kCodeObject:
          object = static_cast<CObj*>(record.get());
          break;
        case kCodeAtom:
          atom = static_cast<CAtom*>(record.get());
          break;
        default:
          property = static_cast<CPropertyItem*>(record.get());
          break;
      }
      return record;
    }
    default:
      ar.ReadBytes(value, kValueSize);
      return nullptr;
  }
}

// ---- CNetMessage ----

const CNetMessageData* CNetMessage::GetElement(int index) const {
  return index >= 0 && index < GetElementCount() ? &elements_[size_t(index)] : nullptr;
}

void CNetMessage::Append(const CNetMessageData& element) {
  elements_.emplace_back();
  elements_.back() = element;
}

bool CNetMessage::ReadByteAt(int index, uint8_t* out) const {
  const CNetMessageData* e = GetElement(index);
  if (!e) return false;
  *out = e->value[0];
  return e->code == kCodeByte;
}

bool CNetMessage::ReadUIntAt(int index, uint32_t* out) const {
  const CNetMessageData* e = GetElement(index);
  if (!e) return false;
  std::memcpy(out, e->value, 4);
  return e->code == kCodeUInt;
}

bool CNetMessage::ReadCounterAt(int index, uint32_t* out) const {
  const CNetMessageData* e = GetElement(index);
  if (!e) return false;
  std::memcpy(out, e->value, 4);
  return e->code == kCodeCounter;
}

bool CNetMessage::ReadTextAt(int index, std::string* out) const {
  const CNetMessageData* e = GetElement(index);
  if (!e) return false;
  *out = e->text;
  return e->code == kCodeText;
}

bool CNetMessage::ReadGroupAt(int index, CBase** out) const {
  const CNetMessageData* e = GetElement(index);
  if (!e) return false;
  if (e->code == kCodeGroup) {
    *out = e->group;
    return true;
  }
  return e->code == kCodeObject || e->code == kCodeAtom || e->code == kCodeProperty;
}

std::unique_ptr<CBase> CNetMessage::TakeGroupAt(int index) {
  const CNetMessageData* e = GetElement(index);
  if (!e || e->code != kCodeGroup || size_t(index) >= decoded_.size()) return nullptr;
  std::unique_ptr<CRecord>& slot = decoded_[size_t(index)];
  if (!slot || slot.get() != e->group) return nullptr;
  return std::unique_ptr<CBase>(static_cast<CBase*>(slot.release()));
}

bool CNetMessage::CanEncode() const {
  for (const auto& e : elements_)
    if (IsRecordCode(uint8_t(e.code)) && !e.GetRecord()) return false;
  return true;
}

void CNetMessage::Serialize(ArchiveWriter& ar) const {
  ar.WriteDword(uint32_t(id_));
  ar.WriteDword(uint32_t(elements_.size()));
  for (const auto& e : elements_) e.Serialize(ar);
}

void CNetMessage::Serialize(ArchiveReader& ar) {
  id_ = int32_t(ar.ReadDword());
  size_t countAt = ar.Offset();
  int32_t n = int32_t(ar.ReadDword());
  if (n <= 0) return;  // the message keeps what it held
  if (n > kMaxElementCount)
    throw ArchiveError(countAt, "message of " + std::to_string(n) + " elements");
  // The smallest element is an empty text: two bytes. Nothing is sized before they are there.
  if (size_t(n) > ar.Remaining() / 2) NeedMore(ar, "element list");
  elements_.resize(size_t(n));
  decoded_.resize(size_t(n));
  for (size_t i = 0; i < size_t(n); ++i) {
    CNetMessageData element;
    decoded_[i] = element.Serialize(ar);
    elements_[i] = element;
  }
}
