#include "base_compare.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "document.h"
#include "value_types.h"

namespace {

constexpr size_t kKeys = 0x10000;

// The record the registry maps each key to, as the picture saw it: a link resolves to it and a
// lookup reaches it; a duplicate the registry does not hold is matched by nothing.
std::vector<int32_t> RegisteredByKey(const DocumentState& s) {
  std::vector<int32_t> index(kKeys, -1);
  for (size_t i = 0; i < s.records.size(); ++i)
    if (s.records[i].registered) index[KeyOf(s.records[i].id)] = int32_t(i);
  return index;
}

void MatchById(CompareResult& r) {
  for (size_t j = 0; j < r.second.records.size(); ++j) {
    const RecordData& b = r.second.records[j];
    if (!b.registered) continue;
    int32_t i = r.firstByKey[KeyOf(b.id)];
    if (i < 0) continue;
    const RecordData& a = r.first.records[size_t(i)];
    if (a.id != b.id || a.kind != b.kind) continue;  // the identifier now names another record
    r.firstToSecond[size_t(i)] = int32_t(j);
    r.secondToFirst[j] = i;
  }
}

// Siblings are told apart by kind and name; the n-th of several siblings of one kind and name
// on one side matches the n-th on the other.
struct SiblingKey {
  int32_t parent;
  uint8_t kind;
  std::string_view name;
  bool operator==(const SiblingKey&) const = default;
};
struct SiblingKeyHash {
  size_t operator()(const SiblingKey& k) const {
    return std::hash<std::string_view>()(k.name) ^
           (size_t(uint32_t(k.parent)) * 0x9E3779B97F4A7C15u) ^ k.kind;
  }
};

// Chains the records of equal sibling key in list order: `next` links each to the following
// one, the map holds each chain's first record.
struct SiblingChains {
  std::unordered_map<SiblingKey, int32_t, SiblingKeyHash> heads;
  std::vector<int32_t> next;

  explicit SiblingChains(const DocumentState& s) : next(s.records.size(), -1) {
    heads.reserve(s.records.size());
    std::unordered_map<SiblingKey, int32_t, SiblingKeyHash> tails;
    tails.reserve(s.records.size());
    for (size_t i = 0; i < s.records.size(); ++i) {
      const RecordData& d = s.records[i];
      SiblingKey key{d.parent, d.kind, d.name};
      auto [it, fresh] = tails.try_emplace(key, int32_t(i));
      if (fresh) {
        heads.emplace(key, int32_t(i));
      } else {
        next[size_t(it->second)] = int32_t(i);
        it->second = int32_t(i);
      }
    }
  }
};

void MatchByPath(CompareResult& r) {
  SiblingChains a(r.first);
  SiblingChains b(r.second);
  // Pre-order: a parent is matched before its children are looked at.
  for (size_t i = 0; i < r.first.records.size(); ++i) {
    const RecordData& d = r.first.records[i];
    int32_t parent = d.parent < 0 ? -1 : r.firstToSecond[size_t(d.parent)];
    if (d.parent >= 0 && parent < 0) continue;
    SiblingKey key{d.parent, d.kind, d.name};
    auto head = a.heads.find(key);
    if (head == a.heads.end() || head->second != int32_t(i)) continue;  // not the chain's first
    auto other = b.heads.find(SiblingKey{parent, d.kind, d.name});
    if (other == b.heads.end()) continue;
    for (int32_t x = int32_t(i), y = other->second; x >= 0 && y >= 0;
         x = a.next[size_t(x)], y = b.next[size_t(y)]) {
      r.firstToSecond[size_t(x)] = y;
      r.secondToFirst[size_t(y)] = x;
    }
  }
}

uint8_t ChangedFields(const CompareResult& r, size_t i, size_t j) {
  const RecordData& a = r.first.records[i];
  const RecordData& b = r.second.records[j];
  uint8_t f = 0;
  if (a.name != b.name) f |= kFieldName;
  if (a.kind == kKindAtom && a.atomType != b.atomType) f |= kFieldType;
  if (a.kind != kKindProperty) return f;
  if (a.typeCode != b.typeCode) f |= kFieldType;
  if (a.flags != b.flags) f |= kFieldFlags;
  if (a.eoc != b.eoc) f |= kFieldEoc;
  bool linkA = a.typeCode == kTypeLinkTo;
  bool linkB = b.typeCode == kTypeLinkTo;
  if (linkA || linkB) {
    // A link's value is an identifier of its own document: what counts is the record it names.
    if (linkA != linkB) return f | kFieldLink;
    int32_t ta = r.LinkTarget(false, int32_t(i));
    int32_t tb = r.LinkTarget(true, int32_t(j));
    if (ta >= 0 && tb >= 0 ? r.firstToSecond[size_t(ta)] != tb
                           : (ta >= 0) != (tb >= 0) || a.valueText != b.valueText)
      f |= kFieldLink;
    return f;
  }
  if (r.options.ignoreValues) return f;
  if (a.valueText != b.valueText)
    f |= kFieldValue;
  else if (a.rawValue != b.rawValue)
    f |= kFieldRaw;
  return f;
}

// Marks the records that left their order among the siblings both sides keep under the same
// parent: everything off one longest run that is in the same order on both sides. Inserting or
// removing a sibling moves nothing; one record taken elsewhere in the list is one move.
void FindReordered(const CompareResult& r, const std::vector<uint8_t>& acrossParents,
                   std::vector<uint8_t>* reordered) {
  const auto& recs = r.first.records;
  size_t n = recs.size();
  // Bucket the staying records by parent, in list order (counting sort on parent + 1).
  std::vector<int32_t> start(n + 2, 0);
  auto stays = [&](size_t i) { return r.firstToSecond[i] >= 0 && !acrossParents[i]; };
  for (size_t i = 0; i < n; ++i)
    if (stays(i)) ++start[size_t(recs[i].parent + 2)];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<int32_t> order(size_t(start.back()));
  std::vector<int32_t> fill(start.begin(), start.end() - 1);
  for (size_t i = 0; i < n; ++i)
    if (stays(i)) order[size_t(fill[size_t(recs[i].parent + 1)]++)] = int32_t(i);

  // Longest increasing run of second-side positions (pre-order indexes keep list order) per
  // bucket, by patience sorting with back links.
  std::vector<int32_t> tails;
  std::vector<int32_t> back(order.size(), -1);
  for (size_t k = 0; k + 1 < start.size(); ++k) {
    size_t lo = size_t(start[k]), hi = size_t(start[k + 1]);
    if (hi - lo < 2) continue;
    tails.clear();
    for (size_t x = lo; x < hi; ++x) {
      int32_t v = r.firstToSecond[size_t(order[x])];
      auto it = std::lower_bound(tails.begin(), tails.end(), v, [&](int32_t t, int32_t value) {
        return r.firstToSecond[size_t(order[size_t(t)])] < value;
      });
      back[x] = it == tails.begin() ? -1 : *(it - 1);
      if (it == tails.end())
        tails.push_back(int32_t(x));
      else
        *it = int32_t(x);
    }
    for (size_t x = lo; x < hi; ++x) (*reordered)[size_t(order[x])] = 1;
    for (int32_t x = tails.back(); x >= 0; x = back[size_t(x)])
      (*reordered)[size_t(order[size_t(x)])] = 0;
  }
}

}  // namespace

const char* DifferenceFieldName(int index) {
  static constexpr const char* kNames[kDifferenceFieldCount] = {"name",  "type", "flags", "eoc",
                                                                "value", "raw",  "link"};
  return index >= 0 && index < kDifferenceFieldCount ? kNames[index] : "";
}

int32_t CompareResult::LinkTarget(bool onSecond, int32_t index) const {
  const DocumentState& s = onSecond ? second : first;
  if (index < 0 || size_t(index) >= s.records.size()) return -1;
  const RecordData& d = s.records[size_t(index)];
  if (d.kind != kKindProperty || d.typeCode != kTypeLinkTo) return -1;
  return (onSecond ? secondByKey : firstByKey)[KeyOf(uint32_t(AtoI(d.valueText)))];
}

std::string CompareResult::RecordPath(bool onSecond, int32_t index) const {
  const DocumentState& s = onSecond ? second : first;
  std::vector<const std::string*> names;
  for (int32_t i = index; i >= 0 && size_t(i) < s.records.size(); i = s.records[size_t(i)].parent)
    names.push_back(&s.records[size_t(i)].name);
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    path += '/';
    path += **it;
  }
  return path;
}

std::string CompareResult::FieldText(bool onSecond, int32_t index, int fieldIndex) const {
  const DocumentState& s = onSecond ? second : first;
  if (index < 0 || size_t(index) >= s.records.size()) return {};
  const RecordData& d = s.records[size_t(index)];
  switch (1 << fieldIndex) {
    case kFieldName:
      return d.name;
    case kFieldType:
      if (d.kind == kKindAtom) return std::to_string(int(d.atomType));
      return d.kind == kKindProperty ? TypeCodeToName(d.typeCode) : "";
    case kFieldFlags:
      return std::to_string(int(d.flags));
    case kFieldEoc:
      return d.eoc ? "true" : "false";
    case kFieldValue:
      return d.valueText;
    case kFieldRaw:
      return std::to_string(d.rawValue);
    case kFieldLink: {
      if (d.kind != kKindProperty || d.typeCode != kTypeLinkTo) return {};
      int32_t t = LinkTarget(onSecond, index);
      return t >= 0 ? RecordPath(onSecond, t) : d.valueText;
    }
    default:
      return {};
  }
}

CompareResult CompareDocuments(const CTarnelDoc& first, const CTarnelDoc& second,
                               const CompareOptions& options) {
  return ComparePictures(CaptureState(first), CaptureState(second), options);
}

CompareResult ComparePictures(DocumentState first, DocumentState second,
                              const CompareOptions& options) {
  CompareResult r;
  r.first = std::move(first);
  r.second = std::move(second);
  r.options = options;
  size_t na = r.first.records.size(), nb = r.second.records.size();
  r.firstByKey = RegisteredByKey(r.first);
  r.secondByKey = RegisteredByKey(r.second);
  r.firstToSecond.assign(na, -1);
  r.secondToFirst.assign(nb, -1);
  if (options.byPath)
    MatchByPath(r);
  else
    MatchById(r);

  std::vector<uint8_t> across(na, 0);
  for (size_t i = 0; i < na; ++i) {
    int32_t j = r.firstToSecond[i];
    if (j < 0) continue;
    int32_t pa = r.first.records[i].parent;
    int32_t pb = r.second.records[size_t(j)].parent;
    across[i] = (pa < 0 ? -1 : r.firstToSecond[size_t(pa)]) != pb || (pa < 0) != (pb < 0);
  }
  std::vector<uint8_t> reordered(na, 0);
  FindReordered(r, across, &reordered);

  auto add = [&](DifferenceKind kind, int32_t i, int32_t j, uint8_t fields, bool acrossParents) {
    Difference d;
    d.kind = kind;
    d.fields = fields;
    d.acrossParents = acrossParents;
    d.first = i;
    d.second = j;
    if (i >= 0) {
      d.firstId = r.first.records[size_t(i)].id;
      d.firstPath = r.RecordPath(false, i);
    }
    if (j >= 0) {
      d.secondId = r.second.records[size_t(j)].id;
      d.secondPath = r.RecordPath(true, j);
    }
    r.differences.push_back(std::move(d));
  };
  for (size_t i = 0; i < na; ++i) {
    int32_t j = r.firstToSecond[i];
    if (j < 0) {
      add(DifferenceKind::kRemoved, int32_t(i), -1, 0, false);
      continue;
    }
    if (uint8_t f = ChangedFields(r, i, size_t(j)))
      add(DifferenceKind::kChanged, int32_t(i), j, f, false);
    if (across[i] || reordered[i]) add(DifferenceKind::kMoved, int32_t(i), j, 0, across[i]);
  }
  for (size_t j = 0; j < nb; ++j)
    if (r.secondToFirst[j] < 0) add(DifferenceKind::kAdded, -1, int32_t(j), 0, false);

  std::stable_sort(r.differences.begin(), r.differences.end(),
                   [](const Difference& x, const Difference& y) {
                     if (int c = x.Path().compare(y.Path())) return c < 0;
                     return x.kind < y.kind;
                   });
  return r;
}
