#include "net/message_scanner.h"

#include <string>
#include <string_view>

#include "model/archive.h"
#include "model/archive_format.h"
#include "net/net_format.h"

using namespace archive;

namespace {

constexpr uint32_t kChildKinds = 1u << kClassObj | 1u << kClassAtom;

}  // namespace

void CMessageScanner::NextMessage() {
  pos_ = 0;
  started_ = false;
  openLists_ = 0;
  stack_.clear();
}

void CMessageScanner::ResetTables() {
  entries_.clear();
  classes_.clear();
}

void CMessageScanner::Fail(const char* cause) const {
  throw ArchiveError(pos_, cause);
}

bool CMessageScanner::Have(size_t n) const {
  if (n > net::kMaxMessageSize - pos_) Fail("message longer than 64 MB");
  return pos_ + n <= size_;
}

uint16_t CMessageScanner::Word(size_t at) const {
  const uint8_t* p = data_ + pos_ + at;
  return uint16_t(p[0] | p[1] << 8);
}

uint32_t CMessageScanner::Dword(size_t at) const {
  const uint8_t* p = data_ + pos_ + at;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool CMessageScanner::Scan(const uint8_t* data, size_t size) {
  data_ = data;
  size_ = size;
  if (!started_) {
    stack_.push_back({kHeader});
    started_ = true;
  }
  while (!stack_.empty())
    if (!Step()) return false;
  return true;
}

void CMessageScanner::PushRecordFields(int classId, int schema) {
  // Fields are pushed last first. Fixed-size runs are skipped as one.
  switch (classId) {
    case kClassBase:
    case kClassObj:  // name, id, children
      stack_.push_back({kList, 0, -1, 0, kChildKinds});
      stack_.push_back({kSkip, 0, -1, 4});
      stack_.push_back({kString});
      break;
    case kClassAtom:  // name, id and type, properties
      stack_.push_back({kList, 0, -1, 0, 1u << kClassProperty});
      stack_.push_back({kSkip, 0, -1, 5});
      stack_.push_back({kString});
      break;
    case kClassProperty:  // type and id, name, flags and eoc, text, raw value, [links]
      if (schema == kPropertySchemaWithLinks) stack_.push_back({kList, 0, -1, 0, 1u << kClassLink});
      stack_.push_back({kSkip, 0, -1, 4});
      stack_.push_back({kString});
      stack_.push_back({kSkip, 0, -1, 2});
      stack_.push_back({kString});
      stack_.push_back({kSkip, 0, -1, 5});
      break;
    default:  // an incoming link: its source identifier
      stack_.push_back({kSkip, 0, -1, 4});
      break;
  }
}

bool CMessageScanner::Step() {
  Task& t = stack_.back();
  switch (t.kind) {
    case kHeader: {
      if (!Have(8)) return false;
      int32_t n = int32_t(Dword(4));
      pos_ += 8;
      stack_.pop_back();
      if (n > net::kMaxElementCount) Fail("message with too many elements");
      if (n > 0) stack_.push_back({kElements, 0, -1, uint32_t(n)});
      return true;
    }
    case kElements:
    case kRefs:
      if (t.count == 0) {
        if (t.kind == kRefs) --openLists_;
        stack_.pop_back();
      } else {
        --t.count;
        if (t.kind == kElements)
          stack_.push_back({kElement});
        else
          stack_.push_back({kRef, 0, -1, 0, t.mask});
      }
      return true;
    case kElement: {
      if (!Have(1)) return false;
      uint8_t code = data_[pos_];
      ++pos_;
      stack_.pop_back();
      if (code == net::kCodeText) {
        stack_.push_back({kString});
      } else if (code == net::kCodeBuffer) {
        stack_.push_back({kBuffer});
      } else if (code >= net::kCodeGroup && code <= net::kCodeProperty) {
        static constexpr int8_t kClassOf[] = {kClassBase, kClassObj, kClassAtom, kClassProperty};
        stack_.push_back({kRecord, kClassOf[code - net::kCodeGroup], -1});
      } else {
        stack_.push_back({kSkip, 0, -1, uint32_t(net::kValueSize)});
      }
      return true;
    }
    case kSkip:
      if (!Have(t.count)) return false;
      pos_ += t.count;
      stack_.pop_back();
      return true;
    case kString:
      return StepString();
    case kBuffer: {
      if (!Have(4)) return false;
      size_t n = Dword(0);
      if (!Have(4 + n)) return false;
      pos_ += 4 + n;
      stack_.pop_back();
      return true;
    }
    case kRecord: {
      Task record = t;
      stack_.pop_back();
      PushRecordFields(record.classId, record.schema);
      return true;
    }
    case kList: {
      if (!Have(2)) return false;
      size_t len = 2;
      uint32_t n = Word(0);
      if (n == kCountEscape) {
        if (!Have(6)) return false;
        n = Dword(2);
        len = 6;
      }
      // Every element takes at least a two-byte reference.
      if (n > (net::kMaxMessageSize - pos_ - len) / 2) Fail("list longer than a message can be");
      uint32_t mask = t.mask;
      pos_ += len;
      stack_.pop_back();
      stack_.push_back({kRefs, 0, -1, n, mask});
      ++openLists_;
      return true;
    }
    case kRef:
      return StepRef(t);
  }
  return false;
}

bool CMessageScanner::StepString() {
  // The whole prefix, then the whole text, must be there before anything moves.
  size_t prefix;
  uint64_t n;
  size_t unit = 1;
  if (!Have(1)) return false;
  n = data_[pos_];
  prefix = 1;
  auto longLength = [&](size_t at, uint64_t* out, size_t* end, bool* wide) {
    if (!Have(at + 2)) return false;
    uint16_t w = Word(at);
    if (w == kWideMarker) {
      *wide = true;
      *end = at + 2;
      return true;
    }
    if (w != kWordLenEscape) {
      *out = w;
      *end = at + 2;
      return true;
    }
    if (!Have(at + 6)) return false;
    uint32_t d = Dword(at + 2);
    if (d != kDwordLenEscape) {
      *out = d;
      *end = at + 6;
      return true;
    }
    if (!Have(at + 14)) return false;
    *out = uint64_t(Dword(at + 10)) << 32 | Dword(at + 6);
    *end = at + 14;
    return true;
  };
  if (n == kByteLenEscape) {
    bool wide = false;
    if (!longLength(1, &n, &prefix, &wide)) return false;
    if (wide) {
      // Two-byte characters: a second prefix counts them.
      unit = 2;
      if (!Have(prefix + 1)) return false;
      n = data_[pos_ + prefix];
      prefix += 1;
      if (n == kByteLenEscape) {
        bool again = false;
        if (!longLength(prefix, &n, &prefix, &again)) return false;
        if (again) Fail("string with a repeated wide marker");
      }
    }
  }
  if (n > net::kMaxMessageSize / unit) Fail("string longer than a message can be");
  if (!Have(prefix + size_t(n) * unit)) return false;
  pos_ += prefix + size_t(n) * unit;
  stack_.pop_back();
  return true;
}

bool CMessageScanner::StepRef(Task task) {
  // Depth is checked before the tag, as the decoder does: even a null reference is refused
  // too deep down.
  if (openLists_ + 1 > kMaxDepth) Fail("records nested too deep");
  if (!Have(2)) return false;
  uint16_t w = Word(0);
  size_t len = 2;
  uint32_t tag;
  if (w == kBigTag) {
    if (!Have(6)) return false;
    tag = Dword(2);
    len = 6;
  } else {
    tag = (w & 0x7FFFu) | (uint32_t(w & 0x8000u) << 16);
  }
  if (tag == 0) {
    pos_ += len;
    stack_.pop_back();
    return true;
  }
  if (!(tag & kBigClassTag)) Fail("reference to a record read before");
  if (entries_.size() + 2 > net::kMaxArchiveEntries) Fail("too many records numbered");

  int classId;
  int schema;
  bool newClass = w == kNewClassTag;
  if (newClass) {
    if (!Have(6)) return false;
    uint16_t s = Word(2);
    uint16_t nameLen = Word(4);
    if (nameLen >= kMaxClassNameLength) Fail("class name too long");
    if (!Have(6 + size_t(nameLen))) return false;
    std::string_view name(reinterpret_cast<const char*>(data_ + pos_ + 6), nameLen);
    classId = -1;
    for (int i = 0; i < kClassCount; ++i)
      if (name == kClassNames[i]) classId = i;
    if (classId < 0) Fail("unknown class");
    if (classId != kClassProperty && s != 1) Fail("class with an unknown schema");
    schema = s;
    len = 6 + nameLen;
  } else {
    uint32_t c = tag & ~kBigClassTag;
    if (c == 0 || c > entries_.size() || entries_[c - 1] < 0)
      Fail("reference to a class not yet read");
    const ClassEntry& cls = classes_[size_t(entries_[c - 1])];
    classId = cls.classId;
    schema = cls.schema;
  }
  if (!(task.mask & (1u << classId))) Fail("a record where it cannot stand");

  pos_ += len;
  if (newClass) {
    entries_.push_back(int32_t(classes_.size()));
    classes_.push_back({classId, uint16_t(schema)});
  }
  entries_.push_back(-1);
  stack_.pop_back();
  PushRecordFields(classId, schema);
  return true;
}
