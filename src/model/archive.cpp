#include "archive.h"

#include <cstring>

#include "archive_format.h"
#include "cp1251.h"
#include "progress.h"
#include "records.h"

using namespace archive;

ArchiveError::ArchiveError(size_t offset, const std::string& cause, bool truncated)
    : std::runtime_error("at byte " + std::to_string(offset) + ": " + cause),
      offset_(offset),
      cause_(cause),
      truncated_(truncated) {}

// ---- writing ----

void ArchiveWriter::WriteWord(uint16_t v) {
  char b[2] = {char(v), char(v >> 8)};
  out_->append(b, 2);
}

void ArchiveWriter::WriteDword(uint32_t v) {
  char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out_->append(b, 4);
}

void ArchiveWriter::WriteString(std::string_view s) {
  size_t n = s.size();
  if (n < kByteLenEscape) {
    WriteByte(uint8_t(n));
  } else if (n < kWideMarker) {
    WriteByte(kByteLenEscape);
    WriteWord(uint16_t(n));
  } else {
    WriteByte(kByteLenEscape);
    WriteWord(kWordLenEscape);
    WriteDword(uint32_t(n));
  }
  out_->append(s.data(), n);
}

void ArchiveWriter::WriteCount(uint32_t n) {
  if (n < kCountEscape) {
    WriteWord(uint16_t(n));
  } else {
    WriteWord(kCountEscape);
    WriteDword(n);
  }
}

void ArchiveWriter::WriteClassRef(int classId) {
  uint32_t c = classNumber_[classId];
  if (c == 0) {
    WriteWord(kNewClassTag);
    WriteWord(kWrittenSchema[classId]);
    std::string_view name = kClassNames[classId];
    WriteWord(uint16_t(name.size()));
    out_->append(name.data(), name.size());
    classNumber_[classId] = nextNumber_++;
  } else if (c < kBigTag) {
    WriteWord(uint16_t(kClassTag | c));
  } else {
    WriteWord(kBigTag);
    WriteDword(kBigClassTag | c);
  }
}

void ArchiveWriter::WriteObjectRef(CRecord* record) {
  if (!record) {
    WriteWord(kNullTag);
    return;
  }
  static constexpr int kClassOfKind[] = {-1, kClassBase, kClassObj, kClassAtom, kClassProperty};
  if (ticker_) ticker_->Add();
  WriteClassRef(kClassOfKind[record->Kind()]);
  ++nextNumber_;  // the object's own number
  WriteRecordFields(*this, *record);
}

void ArchiveWriter::Reset() {
  nextNumber_ = 1;
  for (auto& c : classNumber_) c = 0;
}

// ---- reading ----

void ArchiveReader::SetInput(const void* data, size_t size) {
  begin_ = p_ = static_cast<const uint8_t*>(data);
  limit_ = p_ + size;
}

void ArchiveReader::Fail(const std::string& cause) const {
  throw ArchiveError(Offset(), cause);
}

void ArchiveReader::Need(size_t n) const {
  if (Remaining() < n) throw ArchiveError(Offset(), "unexpected end of data", true);
}

uint8_t ArchiveReader::ReadByte() {
  Need(1);
  return *p_++;
}

uint16_t ArchiveReader::ReadWord() {
  Need(2);
  uint16_t v = uint16_t(p_[0] | p_[1] << 8);
  p_ += 2;
  return v;
}

uint32_t ArchiveReader::ReadDword() {
  Need(4);
  uint32_t v =
      uint32_t(p_[0]) | uint32_t(p_[1]) << 8 | uint32_t(p_[2]) << 16 | uint32_t(p_[3]) << 24;
  p_ += 4;
  return v;
}

void ArchiveReader::ReadBytes(void* out, size_t n) {
  Need(n);
  if (n) std::memcpy(out, p_, n);
  p_ += n;
}

namespace {

// The length behind a 0xFF escape: a word, or after 0xFFFF a dword, or after 0xFFFFFFFF a
// 64-bit length. `wide` is set when the word is the two-byte-character marker.
uint64_t ReadLongLength(ArchiveReader& ar, bool* wide) {
  uint16_t w = ar.ReadWord();
  if (w == kWideMarker) {
    *wide = true;
    return 0;
  }
  if (w != kWordLenEscape) return w;
  uint32_t d = ar.ReadDword();
  if (d != kDwordLenEscape) return d;
  uint32_t lo = ar.ReadDword();
  uint32_t hi = ar.ReadDword();
  return uint64_t(hi) << 32 | lo;
}

}  // namespace

std::string ArchiveReader::ReadString() {
  size_t start = Offset();
  uint64_t n = ReadByte();
  bool wide = false;
  if (n == kByteLenEscape) n = ReadLongLength(*this, &wide);
  if (wide) {
    // Two-byte characters: a second prefix counts them.
    bool again = false;
    n = ReadByte();
    if (n == kByteLenEscape) n = ReadLongLength(*this, &again);
    if (again) Fail("string with a repeated wide marker");
    if (n > Remaining() / 2) throw ArchiveError(start, "string longer than the data left", true);
    std::string s;
    s.reserve(size_t(n));
    for (uint64_t i = 0; i < n; ++i) {
      char16_t u = char16_t(p_[0] | p_[1] << 8);
      p_ += 2;
      s.push_back(UnicodeToCp1251Or(u, '?'));
    }
    return s;
  }
  if (n > Remaining()) throw ArchiveError(start, "string longer than the data left", true);
  std::string s(reinterpret_cast<const char*>(p_), size_t(n));
  p_ += n;
  return s;
}

uint32_t ArchiveReader::ReadCount(size_t minElementSize) {
  size_t start = Offset();
  uint32_t n = ReadWord();
  if (n == kCountEscape) n = ReadDword();
  if (minElementSize && n > Remaining() / minElementSize)
    throw ArchiveError(
        start, "list of " + std::to_string(n) + " elements is longer than the data left", true);
  return n;
}

int ArchiveReader::ReadClassOfNewObject(unsigned expected, int* schema) {
  size_t start = Offset();
  uint16_t w = ReadWord();
  uint32_t tag;
  if (w == kBigTag) {
    tag = ReadDword();
  } else {
    tag = (w & 0x7FFFu) | (uint32_t(w & 0x8000u) << 16);
  }
  if (tag == 0) return -1;
  if (!(tag & kBigClassTag)) {
    if (tag > entries_.size())
      throw ArchiveError(start, "reference to object " + std::to_string(tag) + " not yet read");
    if (entries_[tag - 1] >= 0) throw ArchiveError(start, "a class number used as an object");
    throw ArchiveError(start, "record " + std::to_string(tag) + " appears twice in the tree");
  }

  const ClassEntry* cls;
  if (w == kNewClassTag) {
    uint16_t s = ReadWord();
    uint16_t len = ReadWord();
    if (len >= kMaxClassNameLength)
      throw ArchiveError(start, "class name of " + std::to_string(len) + " characters");
    Need(len);
    std::string_view name(reinterpret_cast<const char*>(p_), len);
    int id = -1;
    for (int i = 0; i < kClassCount; ++i)
      if (name == kClassNames[i]) id = i;
    if (id < 0) throw ArchiveError(start, "unknown class '" + std::string(name) + "'");
    p_ += len;
    if (id != kClassProperty && s != 1)
      throw ArchiveError(start, "class " + std::string(name) + " with schema " + std::to_string(s));
    entries_.push_back(int32_t(classes_.size()));
    classes_.push_back({id, s});
    cls = &classes_.back();
  } else {
    uint32_t c = tag & ~kBigClassTag;
    if (c == 0 || c > entries_.size() || entries_[c - 1] < 0)
      throw ArchiveError(start, "reference to class " + std::to_string(c) + " not yet read");
    cls = &classes_[size_t(entries_[c - 1])];
  }
  if (!(expected & (1u << cls->classId)))
    throw ArchiveError(start,
                       "a " + std::string(kClassNames[cls->classId]) + " where it cannot stand");
  *schema = cls->schema;
  int classId = cls->classId;
  entries_.push_back(-1);  // the new object's number
  return classId;
}

std::unique_ptr<CRecord> ArchiveReader::ReadObjectRef(unsigned expected, int depth) {
  if (depth > kMaxDepth)
    Fail("records nested deeper than " + std::to_string(kMaxDepth) + " levels");
  if (ticker_) ticker_->At(Offset());
  int schema = 0;
  int classId = ReadClassOfNewObject(expected, &schema);
  if (classId < 0) return nullptr;
  return ReadRecordFields(*this, classId, schema, depth);
}

bool ArchiveReader::ReadLinkRef(uint32_t* sourceId, int depth) {
  if (depth > kMaxDepth)
    Fail("records nested deeper than " + std::to_string(kMaxDepth) + " levels");
  int schema = 0;
  if (ReadClassOfNewObject(1u << kClassLink, &schema) < 0) return false;
  *sourceId = ReadDword();
  return true;
}

void ArchiveReader::Rollback(const Mark& m) {
  p_ = m.p;
  entries_.resize(m.entries);
  classes_.resize(m.classes);
}

void ArchiveReader::Reset() {
  entries_.clear();
  classes_.clear();
}
