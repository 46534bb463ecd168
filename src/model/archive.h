// The binary archive shared by .kdl files and network messages: little-endian primitives,
// length-prefixed strings, object-array counts and numbered object and class references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class CRecord;
class ProgressTicker;

// A read that failed. `offset` is the byte at which the bad or missing data starts;
// `truncated` tells that the input ended early (a network reader waits for more then).
class ArchiveError : public std::runtime_error {
 public:
  ArchiveError(size_t offset, const std::string& cause, bool truncated = false);
  size_t offset() const { return offset_; }
  const std::string& cause() const { return cause_; }
  bool truncated() const { return truncated_; }

 private:
  size_t offset_;
  std::string cause_;
  bool truncated_;
};

// Appends to a byte string. Numbering of classes and objects runs on for the writer's life, as
// a network stream needs; Reset starts it again.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(std::string* out) : out_(out) {}

  void WriteByte(uint8_t v) { out_->push_back(char(v)); }
  void WriteWord(uint16_t v);
  void WriteDword(uint32_t v);
  void WriteBytes(const void* data, size_t n) { out_->append(static_cast<const char*>(data), n); }
  void WriteString(std::string_view s);
  void WriteCount(uint32_t n);
  // Null, or a new object with its class reference (and description on first use) followed by
  // its fields. Every record is written once.
  void WriteObjectRef(CRecord* record);

  void Reset();
  std::string* output() const { return out_; }
  // Counts every record written on `ticker` (null: none).
  void SetProgress(ProgressTicker* ticker) { ticker_ = ticker; }

 private:
  void WriteClassRef(int classId);

  std::string* out_;
  ProgressTicker* ticker_ = nullptr;
  uint32_t nextNumber_ = 1;
  uint32_t classNumber_[5] = {};
};

// Reads from a byte range without ever looking outside it. Tables of classes and objects read
// so far run on across SetInput calls (a network stream), so a decoder can roll back to a Mark
// when its input runs out.
class ArchiveReader {
 public:
  ArchiveReader() = default;
  ArchiveReader(const void* data, size_t size) { SetInput(data, size); }

  void SetInput(const void* data, size_t size);
  size_t Offset() const { return size_t(p_ - begin_); }
  size_t Remaining() const { return size_t(limit_ - p_); }
  bool AtEnd() const { return p_ == limit_; }

  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDword();
  void ReadBytes(void* out, size_t n);
  std::string ReadString();
  // An object-array count, checked against the bytes left: each element needs at least
  // `minElementSize` bytes.
  uint32_t ReadCount(size_t minElementSize = 2);

  // One element of a record list. Null for a null reference. A reference to an object read
  // before is refused: a record cannot sit in two lists. `expected` limits the kinds the list
  // may hold (a bit per ClassId).
  std::unique_ptr<CRecord> ReadObjectRef(unsigned expected, int depth);
  // An incoming-link entry of a schema-3 property; 0 for a null reference.
  bool ReadLinkRef(uint32_t* sourceId, int depth);

  struct Mark {
    const uint8_t* p;
    size_t entries;
    size_t classes;
  };
  Mark GetMark() const { return {p_, entries_.size(), classes_.size()}; }
  void Rollback(const Mark& m);
  // Forgets every class and object read; numbering starts again.
  void Reset();
  // Tells `ticker` the offset reached at every record (null: nobody); a ticker that was told
  // to stop throws OperationCancelled out of the read.
  void SetProgress(ProgressTicker* ticker) { ticker_ = ticker; }

  [[noreturn]] void Fail(const std::string& cause) const;

 private:
  void Need(size_t n) const;
  // Reads a reference tag; returns the class id for a new object, or -1 for null.
  int ReadClassOfNewObject(unsigned expected, int* schema);

  const uint8_t* begin_ = nullptr;
  const uint8_t* p_ = nullptr;
  const uint8_t* limit_ = nullptr;
  ProgressTicker* ticker_ = nullptr;
  // One entry per number handed out: the index into classes_ for a class, -1 for an object.
  std::vector<int32_t> entries_;
  struct ClassEntry {
    int classId;
    uint16_t schema;
  };
  std::vector<ClassEntry> classes_;
};

// Record fields in archive order; a property is brought up to date (UpdateRawFromText) first.
void WriteRecordFields(ArchiveWriter& ar, CRecord& record);
// A record of the given class read field by field. `schema` is the one of its class
// description, or -1 for a record read without one (inside a network message).
std::unique_ptr<CRecord> ReadRecordFields(ArchiveReader& ar, int classId, int schema, int depth);
