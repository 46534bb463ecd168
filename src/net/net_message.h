// A message in memory: a signed identifier and an ordered list of typed elements, each a
// scalar, a text, a byte block or a whole configuration record, and its exact bytes in the
// stream.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/records.h"
#include "net/net_format.h"

class ArchiveReader;
class ArchiveWriter;

// A raw byte block of exactly `Size()` bytes (no block when empty).
class CNetDataBuffer {
 public:
  CNetDataBuffer() = default;
  CNetDataBuffer(const CNetDataBuffer& other) { Set(other.Data(), other.Size()); }
  CNetDataBuffer& operator=(const CNetDataBuffer& other);
  virtual ~CNetDataBuffer() = default;

  void Set(const void* bytes, uint32_t n);
  const uint8_t* Data() const { return data_.get(); }
  uint32_t Size() const { return size_; }

  void Serialize(ArchiveWriter& ar) const;
  void Serialize(ArchiveReader& ar);

 private:
  std::unique_ptr<uint8_t[]> data_;
  uint32_t size_ = 0;
};

// One element. The record pointers do not own their records; copying copies the pointers.
class CNetMessageData {
 public:
  CNetMessageData();                     // an empty text (code 10)
  explicit CNetMessageData(uint32_t v);  // code 6
  explicit CNetMessageData(float v);     // code 8
  CNetMessageData(const CNetMessageData& other);
  CNetMessageData& operator=(const CNetMessageData& other);
  virtual ~CNetMessageData() = default;

  // Elements the editor only receives, made here for servers and tests.
  static CNetMessageData Byte(uint8_t v);
  static CNetMessageData Counter(uint32_t v);
  static CNetMessageData Text(std::string s);
  static CNetMessageData Buffer(const void* bytes, uint32_t n);
  static CNetMessageData Record(CRecord* record);  // code 12 to 15 by the record's kind
  // Any code with its 8 value bytes.
  static CNetMessageData Raw(int32_t code, const uint8_t (&value)[net::kValueSize]);

  // The record of a code 12 to 15 element, null otherwise.
  CRecord* GetRecord() const;

  void Serialize(ArchiveWriter& ar) const;
  // Decodes into this element. A record element's record is handed back: the caller owns it.
  std::unique_ptr<CRecord> Serialize(ArchiveReader& ar);

  uint8_t value[net::kValueSize] = {};
  int32_t code = net::kCodeText;
  std::string text;
  CNetDataBuffer buffer;
  CBase* group = nullptr;
  CObj* object = nullptr;
  CAtom* atom = nullptr;
  CPropertyItem* property = nullptr;

 private:
  // Held for the whole of each encoding or decoding of this element.
  mutable std::mutex guard_;
};

class CNetMessage {
 public:
  explicit CNetMessage(int32_t id = 0) : id_(id) {}
  CNetMessage(CNetMessage&&) = default;
  CNetMessage& operator=(CNetMessage&&) = default;

  int32_t GetId() const { return id_; }
  int32_t GetElementCount() const { return int32_t(elements_.size()); }
  const CNetMessageData* GetElement(int index) const;

  void AppendUInt(uint32_t v) { Append(CNetMessageData(v)); }
  void AppendFloat(float v) { Append(CNetMessageData(v)); }
  void Append(const CNetMessageData& element);

  // Each copies the payload whatever the element's code; the result tells whether the code
  // matched. An index out of range leaves `out` untouched and gives false.
  bool ReadByteAt(int index, uint8_t* out) const;
  bool ReadUIntAt(int index, uint32_t* out) const;
  bool ReadCounterAt(int index, uint32_t* out) const;
  bool ReadTextAt(int index, std::string* out) const;
  // Code 12: the group, true. Codes 13 to 15: `out` untouched, true. Others: false.
  bool ReadGroupAt(int index, CBase** out) const;

  // Hands over a group this message decoded (null for any other element, or when it was
  // taken already). Records that nobody takes are destroyed with the message.
  std::unique_ptr<CBase> TakeGroupAt(int index);

  // False when a record element has no record: such a message cannot be written.
  bool CanEncode() const;
  void Serialize(ArchiveWriter& ar) const;
  void Serialize(ArchiveReader& ar);

 private:
  int32_t id_;
  std::vector<CNetMessageData> elements_;
  // The records decoded for the elements, by element index; empty for a message built here.
  std::vector<std::unique_ptr<CRecord>> decoded_;
};
