#include "base_compare.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "document.h"
#include "progress.h"
#include "shown_path.h"
#include "value_types.h"

namespace {

constexpr size_t kKeys = 0x10000;

// One document's records in tree order, with the index arrays the result keeps.
struct Side {
  std::vector<const CRecord*> records;
  std::vector<int32_t> byKey;  // the record the registry maps each key to, -1 for none
  std::vector<uint32_t>& ids;
  std::vector<uint8_t>& kinds;
  std::vector<int32_t>& parents;
  std::vector<int32_t>& links;
  std::vector<std::string>& names;

  void Walk(const CTarnelDoc& doc, const CRecord* r, int32_t parent,
            std::vector<std::pair<int32_t, uint32_t>>* linking) {
    auto index = int32_t(records.size());
    int kind = r->Kind();
    records.push_back(r);
    ids.push_back(r->id);
    names.push_back(r->name);
    kinds.push_back(uint8_t(kind));
    parents.push_back(parent);
    // A link resolves, and a lookup reaches, only the record the registry holds: a duplicate
    // it does not hold is matched by nothing.
    if (doc.Ids().Lookup(r->id) == r) byKey[KeyOf(r->id)] = index;
    if (kind == kKindProperty) {
      // Resolved when every record is in place.
      const auto* p = static_cast<const CPropertyItem*>(r);
      if (p->typeCode == kTypeLinkTo) linking->emplace_back(index, uint32_t(AtoI(p->valueText)));
      return;
    }
    ForEachChild(r, [&](const CRecord* c) { Walk(doc, c, index, linking); });
  }

  // A side already walked, its arrays copied into another result's.
  Side(const Side& walked, std::vector<uint32_t>& ids, std::vector<uint8_t>& kinds,
       std::vector<int32_t>& parents, std::vector<int32_t>& links, std::vector<std::string>& names)
      : records(walked.records),
        byKey(walked.byKey),
        ids(ids),
        kinds(kinds),
        parents(parents),
        links(links),
        names(names) {
    ids = walked.ids;
    kinds = walked.kinds;
    parents = walked.parents;
    links = walked.links;
    names = walked.names;
  }

  Side(const CTarnelDoc& doc, std::vector<uint32_t>& ids, std::vector<uint8_t>& kinds,
       std::vector<int32_t>& parents, std::vector<int32_t>& links, std::vector<std::string>& names)
      : byKey(kKeys, -1), ids(ids), kinds(kinds), parents(parents), links(links), names(names) {
    size_t n = size_t(doc.Ids().Count()) + 16;
    records.reserve(n);
    ids.reserve(n);
    kinds.reserve(n);
    parents.reserve(n);
    names.reserve(n);
    std::vector<std::pair<int32_t, uint32_t>> linking;  // a link's record and the target's id
    for (CBase* g : doc.Groups()) Walk(doc, g, -1, &linking);
    links.assign(records.size(), -1);
    for (auto [i, target] : linking) links[size_t(i)] = byKey[KeyOf(target)];
  }
  bool Registered(size_t i) const { return byKey[KeyOf(ids[i])] == int32_t(i); }
};

void MatchById(const Side& a, const Side& b, CompareResult& r) {
  for (size_t j = 0; j < b.records.size(); ++j) {
    if (!b.Registered(j)) continue;
    int32_t i = a.byKey[KeyOf(b.ids[j])];
    // Another identifier with the same key, or the identifier now names a record of another
    // kind: no counterpart.
    if (i < 0 || a.ids[size_t(i)] != b.ids[j] || a.kinds[size_t(i)] != b.kinds[j]) continue;
    r.firstToSecond[size_t(i)] = int32_t(j);
    r.secondToFirst[j] = i;
  }
}

// The children of each record in list order: `first` by parent index + 1 (0: the groups).
struct ChildLists {
  std::vector<int32_t> first, next;
  explicit ChildLists(const std::vector<int32_t>& parents)
      : first(parents.size() + 1, -1), next(parents.size(), -1) {
    for (size_t i = parents.size(); i-- > 0;) {
      size_t p = size_t(parents[i] + 1);
      next[i] = first[p];
      first[p] = int32_t(i);
    }
  }
};

// Siblings are told apart by kind and name; the n-th of several siblings of one kind and name
// on one side matches the n-th on the other. Both lists of a matched pair of parents are
// sorted by kind and name (keeping list order among equals) and walked side by side.
void MatchByPath(const Side& a, const Side& b, CompareResult& r) {
  ChildLists ca(a.parents), cb(b.parents);
  auto sorted = [](const Side& s, const ChildLists& c, int32_t parent, std::vector<int32_t>* out) {
    out->clear();
    for (int32_t x = c.first[size_t(parent + 1)]; x >= 0; x = c.next[size_t(x)]) out->push_back(x);
    std::stable_sort(out->begin(), out->end(), [&](int32_t x, int32_t y) {
      if (s.kinds[size_t(x)] != s.kinds[size_t(y)]) return s.kinds[size_t(x)] < s.kinds[size_t(y)];
      return s.records[size_t(x)]->name < s.records[size_t(y)]->name;
    });
  };
  std::vector<std::pair<int32_t, int32_t>> pending{{-1, -1}};
  std::vector<int32_t> la, lb;
  while (!pending.empty()) {
    auto [pa, pb] = pending.back();
    pending.pop_back();
    sorted(a, ca, pa, &la);
    sorted(b, cb, pb, &lb);
    for (size_t x = 0, y = 0; x < la.size() && y < lb.size();) {
      size_t i = size_t(la[x]), j = size_t(lb[y]);
      int c = int(a.kinds[i]) - int(b.kinds[j]);
      if (c == 0) c = a.records[i]->name.compare(b.records[j]->name);
      if (c < 0) {
        ++x;
      } else if (c > 0) {
        ++y;
      } else {
        r.firstToSecond[i] = int32_t(j);
        r.secondToFirst[j] = int32_t(i);
        if (a.kinds[i] != kKindProperty) pending.push_back({int32_t(i), int32_t(j)});
        ++x;
        ++y;
      }
    }
  }
}

uint8_t ChangedFields(const CompareResult& r, const Side& sa, const Side& sb, size_t i, size_t j) {
  const CRecord* ra = sa.records[i];
  const CRecord* rb = sb.records[j];
  uint8_t f = 0;
  if (ra->name != rb->name) f |= kFieldName;
  // Matched records are of one kind.
  int kind = sa.kinds[i];
  if (kind == kKindAtom &&
      static_cast<const CAtom*>(ra)->type != static_cast<const CAtom*>(rb)->type)
    f |= kFieldType;
  if (kind != kKindProperty) return f;
  const auto* a = static_cast<const CPropertyItem*>(ra);
  const auto* b = static_cast<const CPropertyItem*>(rb);
  if (a->typeCode != b->typeCode) f |= kFieldType;
  if (a->flags != b->flags) f |= kFieldFlags;
  if (a->eoc != b->eoc) f |= kFieldEoc;
  bool linkA = a->typeCode == kTypeLinkTo;
  bool linkB = b->typeCode == kTypeLinkTo;
  if (linkA || linkB) {
    // A link's value is an identifier of its own document: what counts is the record it names.
    if (linkA != linkB) return f | kFieldLink;
    int32_t ta = sa.links[i];
    int32_t tb = sb.links[j];
    if (ta >= 0 && tb >= 0 ? r.firstToSecond[size_t(ta)] != tb
                           : (ta >= 0) != (tb >= 0) || a->valueText != b->valueText)
      f |= kFieldLink;
    return f;
  }
  if (r.options.ignoreValues) return f;
  if (a->valueText != b->valueText)
    f |= kFieldValue;
  else if (a->GetRawValue() != b->GetRawValue())
    f |= kFieldRaw;
  return f;
}

// Marks the records that left their order among the siblings both sides keep under the same
// parent: everything off one longest run that is in the same order on both sides. Inserting or
// removing a sibling moves nothing; one record taken elsewhere in the list is one move.
void FindReordered(const CompareResult& r, const std::vector<uint8_t>& acrossParents,
                   std::vector<uint8_t>* reordered) {
  const std::vector<int32_t>& parents = r.firstParents;
  size_t n = parents.size();
  // Bucket the staying records by parent, in list order (counting sort on parent + 1).
  std::vector<int32_t> start(n + 2, 0);
  auto stays = [&](size_t i) { return r.firstToSecond[i] >= 0 && !acrossParents[i]; };
  for (size_t i = 0; i < n; ++i)
    if (stays(i)) ++start[size_t(parents[i] + 2)];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<int32_t> order(size_t(start.back()));
  std::vector<int32_t> fill(start);
  for (size_t i = 0; i < n; ++i)
    if (stays(i)) order[size_t(fill[size_t(parents[i] + 1)]++)] = int32_t(i);

  // Longest increasing run of second-side indexes (tree order keeps list order) per bucket,
  // by patience sorting with back links.
  std::vector<int32_t> tails;
  std::vector<int32_t> back(n, -1);
  for (size_t k = 0; k + 1 < start.size(); ++k) {
    size_t lo = size_t(start[k]), hi = size_t(start[k + 1]);
    if (hi - lo < 2) continue;
    // Most lists keep their order: nothing of them moved.
    bool inOrder = true;
    for (size_t x = lo + 1; x < hi && inOrder; ++x)
      inOrder = r.firstToSecond[size_t(order[x - 1])] < r.firstToSecond[size_t(order[x])];
    if (inOrder) continue;
    tails.clear();
    for (size_t x = lo; x < hi; ++x) {
      int32_t v = r.firstToSecond[size_t(order[x])];
      size_t at =
          size_t(std::lower_bound(tails.begin(), tails.end(), v,
                                  [&](int32_t t, int32_t value) {
                                    return r.firstToSecond[size_t(order[size_t(t)])] < value;
                                  }) -
                 tails.begin());
      back[x] = at == 0 ? -1 : tails[at - 1];
      if (at == tails.size())
        tails.push_back(int32_t(x));
      else
        tails[at] = int32_t(x);
    }
    for (size_t x = lo; x < hi; ++x) (*reordered)[size_t(order[x])] = 1;
    for (int32_t x = tails.back(); x >= 0; x = back[size_t(x)])
      (*reordered)[size_t(order[size_t(x)])] = 0;
  }
}

// Each record's place in the order of whole record paths, records with equal paths sharing it;
// empty when a name holds a slash. Without slashes in names the order is a walk of the tree:
// same-named siblings are one path, and under a parent each path comes at its name, each
// branch at its name followed by a slash (so "a b" sorts between "a" and what lies under "a").
std::vector<int32_t> PathRanks(const std::vector<int32_t>& parents,
                               const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (name.find('/') != std::string::npos) return {};
  ChildLists children(parents);
  std::vector<int32_t> rank(parents.size(), -1);
  int32_t next = 0;
  struct Entry {
    const std::string* name;
    bool branch;      // the records under the group, or the group's own records
    size_t from, to;  // the group: same-named siblings, in `siblings`
  };
  auto before = [](const Entry& x, const Entry& y) {
    // x.name + (x.branch ? "/" : "") against the same of y.
    size_t n = std::min(x.name->size(), y.name->size());
    if (int c = n ? std::memcmp(x.name->data(), y.name->data(), n) : 0) return c < 0;
    auto at = [n](const Entry& e) {
      return n < e.name->size() ? int(uint8_t((*e.name)[n])) : e.branch ? int('/') : -1;
    };
    if (at(x) != at(y)) return at(x) < at(y);
    return x.name->size() == y.name->size() && !x.branch && y.branch;
  };
  // Names are told apart by their first eight bytes where they can be, read once as a number.
  std::vector<uint64_t> head(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    uint64_t h = 0;
    const std::string& name = names[i];
    for (size_t k = 0; k < 8; ++k) h = h << 8 | (k < name.size() ? uint8_t(name[k]) : 0);
    head[i] = h;
  }
  // Siblings come in tree order, so the index keeps that order among equal names (without the
  // buffer a stable sort would take for each list).
  auto byName = [&](int32_t x, int32_t y) {
    if (head[size_t(x)] != head[size_t(y)]) return head[size_t(x)] < head[size_t(y)];
    int c = names[size_t(x)].compare(names[size_t(y)]);
    return c < 0 || (c == 0 && x < y);
  };
  auto sameName = [&](int32_t x, int32_t y) {
    return head[size_t(x)] == head[size_t(y)] && names[size_t(x)] == names[size_t(y)];
  };
  // One path of the tree: the records that hold it, siblings[from, to) (-1 for the top). Each
  // path's records and entries go on the ends of two lists kept for the whole walk, and are
  // taken off again when it is done.
  std::vector<int32_t> siblings{-1};
  std::vector<Entry> entries;
  auto walk = [&](auto& self, size_t from, size_t to) -> void {
    size_t first = siblings.size();
    for (size_t h = from; h < to; ++h)
      for (int32_t c = children.first[size_t(siblings[h] + 1)]; c >= 0;
           c = children.next[size_t(c)])
        siblings.push_back(c);
    auto begin = siblings.begin() + ptrdiff_t(first);
    if (!std::is_sorted(begin, siblings.end(), byName)) std::sort(begin, siblings.end(), byName);
    // The entries come in the order of the names, but a branch goes after the names that
    // continue its own with a byte below the slash ("a", "a b", then what lies under "a"):
    // those follow right after it, so the next name tells whether the entries need sorting.
    size_t firstEntry = entries.size();
    bool sortEntries = false;
    const std::string* branch = nullptr;  // the name of the last group, if it holds records
    for (size_t at = first, end; at < siblings.size(); at = end) {
      bool holds = false;
      const std::string& name = names[size_t(siblings[at])];
      if (branch && name.size() > branch->size() && uint8_t(name[branch->size()]) < '/' &&
          name.compare(0, branch->size(), *branch) == 0)
        sortEntries = true;
      for (end = at; end < siblings.size() && sameName(siblings[end], siblings[at]); ++end)
        holds = holds || children.first[size_t(siblings[end] + 1)] >= 0;
      entries.push_back({&name, false, at, end});
      if (holds) entries.push_back({&name, true, at, end});
      branch = holds ? &name : nullptr;
    }
    if (sortEntries) std::sort(entries.begin() + ptrdiff_t(firstEntry), entries.end(), before);
    for (size_t k = firstEntry; k < entries.size(); ++k) {
      Entry e = entries[k];
      if (!e.branch) {
        for (size_t x = e.from; x < e.to; ++x) rank[size_t(siblings[x])] = next;
        ++next;
      } else {
        self(self, e.from, e.to);
      }
    }
    entries.resize(firstEntry);
    siblings.resize(first);
  };
  walk(walk, 0, 1);
  return rank;
}

// Orders record paths without building them: a path is the names of the record's ancestors
// and its own, each after a slash.
class PathOrder {
 public:
  explicit PathOrder(const CompareResult& r) : r_(r) {}

  // <0, 0, >0 as the path of x on its side sorts before, with or after that of y.
  int Compare(bool sx, int32_t x, bool sy, int32_t y) {
    if (sx == sy) {
      // Up to the ancestors under a common parent: usually their names tell.
      const std::vector<int32_t>& parents = Parents(sx);
      const std::vector<int32_t>& depth = Depth(sx);
      int32_t ax = x, ay = y;
      while (depth[size_t(ax)] > depth[size_t(ay)]) ax = parents[size_t(ax)];
      while (depth[size_t(ay)] > depth[size_t(ax)]) ay = parents[size_t(ay)];
      if (ax == ay) return x == y ? 0 : depth[size_t(x)] < depth[size_t(y)] ? -1 : 1;
      while (parents[size_t(ax)] != parents[size_t(ay)]) {
        ax = parents[size_t(ax)];
        ay = parents[size_t(ay)];
      }
      const std::string& nx = Names(sx)[size_t(ax)];
      const std::string& ny = Names(sx)[size_t(ay)];
      size_t n = std::min(nx.size(), ny.size());
      if (int c = n ? std::memcmp(nx.data(), ny.data(), n) : 0) return c;
    }
    return CompareBytes(sx, x, sy, y);
  }

 private:
  // Each record's depth on one side, worked out when first asked for.
  const std::vector<int32_t>& Depth(bool second) {
    std::vector<int32_t>& depth = depth_[second];
    const std::vector<int32_t>& parents = Parents(second);
    if (depth.size() != parents.size()) {
      depth.resize(parents.size());
      for (size_t i = 0; i < parents.size(); ++i)  // a parent comes before its children
        depth[i] = parents[i] < 0 ? 0 : depth[size_t(parents[i])] + 1;
    }
    return depth;
  }
  const std::vector<int32_t>& Parents(bool second) const {
    return second ? r_.secondParents : r_.firstParents;
  }
  const std::vector<std::string>& Names(bool second) const {
    return second ? r_.secondNames : r_.firstNames;
  }
  void Chain(bool second, int32_t i, std::vector<int32_t>* out) const {
    out->clear();
    for (; i >= 0; i = Parents(second)[size_t(i)]) out->push_back(i);
    std::reverse(out->begin(), out->end());
  }

  // The paths byte by byte, past the ancestors they share.
  int CompareBytes(bool sx, int32_t x, bool sy, int32_t y) {
    Chain(sx, x, &cx_);
    Chain(sy, y, &cy_);
    size_t kx = 0, ky = 0;
    if (sx == sy)
      while (kx < cx_.size() && ky < cy_.size() && cx_[kx] == cy_[ky]) ++kx, ++ky;
    // Place in "/" + name of the current record on each side.
    size_t ox = 0, oy = 0;
    for (;;) {
      if (kx == cx_.size() || ky == cy_.size())
        return kx == cx_.size() ? (ky == cy_.size() ? 0 : -1) : 1;
      const std::string& nx = Names(sx)[size_t(cx_[kx])];
      const std::string& ny = Names(sy)[size_t(cy_[ky])];
      if (ox == 0 && oy == 0 && nx == ny) {
        ++kx, ++ky;
        continue;
      }
      auto at = [](const std::string& name, size_t o) {
        return o == 0 ? uint8_t('/') : uint8_t(name[o - 1]);
      };
      if (ox == 0 || oy == 0) {
        if (int c = int(at(nx, ox)) - int(at(ny, oy))) return c;
        ++ox, ++oy;
      } else {
        size_t n = std::min(nx.size() + 1 - ox, ny.size() + 1 - oy);
        if (int c = std::memcmp(nx.data() + ox - 1, ny.data() + oy - 1, n)) return c;
        ox += n;
        oy += n;
      }
      if (ox == nx.size() + 1) ++kx, ox = 0;
      if (oy == ny.size() + 1) ++ky, oy = 0;
    }
  }

  const CompareResult& r_;
  std::vector<int32_t> depth_[2];
  std::vector<int32_t> cx_, cy_;
};

}  // namespace

const char* DifferenceFieldName(int index) {
  static constexpr const char* kNames[kDifferenceFieldCount] = {"name",  "type", "flags", "eoc",
                                                                "value", "raw",  "link"};
  return index >= 0 && index < kDifferenceFieldCount ? kNames[index] : "";
}

std::string DifferenceFieldText(const RecordData& d, int fieldIndex, const std::string& linkText) {
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
    case kFieldLink:
      return linkText;
    default:
      return {};
  }
}

namespace {

// The names of record `index` and its ancestors joined as "/a/b/c", the top ones left out once
// the path is past `limit` bytes. Measured first, then written from its end.
std::string JoinPath(const std::vector<int32_t>& parents, const std::vector<std::string>& names,
                     int32_t index, size_t limit) {
  size_t bytes = 0;
  int32_t top = index;
  for (int32_t i = index; i >= 0 && bytes <= limit; i = parents[size_t(i)]) {
    bytes += 1 + names[size_t(i)].size();
    top = i;
  }
  std::string path(bytes, '/');
  size_t at = bytes;
  for (int32_t i = index;; i = parents[size_t(i)]) {
    const std::string& name = names[size_t(i)];
    at -= name.size();
    std::memcpy(path.data() + at, name.data(), name.size());
    --at;  // the slash before it
    if (i == top) break;
  }
  return path;
}

}  // namespace

std::string CompareResult::PathOf(bool second, int32_t index) const {
  const std::vector<int32_t>& parents = second ? secondParents : firstParents;
  if (index < 0 || size_t(index) >= parents.size()) return {};
  return JoinPath(parents, second ? secondNames : firstNames, index, SIZE_MAX);
}

std::string CompareResult::ShownPathOf(bool second, int32_t index) const {
  const std::vector<int32_t>& parents = second ? secondParents : firstParents;
  if (index < 0 || size_t(index) >= parents.size()) return {};
  // Whole when it is short; otherwise only the names that reach past the limit are joined, an
  // end of it longer than the limit, cut as the whole one would be.
  return AbbreviatedPath(
      JoinPath(parents, second ? secondNames : firstNames, index, kShownPathLimit),
      (second ? secondIds : firstIds)[size_t(index)]);
}

CompareRecord::CompareRecord(const CRecord* record)
    : id(record->id), kind(uint8_t(record->Kind())) {
  if (kind == kKindAtom) {
    atomType = static_cast<const CAtom*>(record)->type;
  } else if (kind == kKindProperty) {
    const auto* p = static_cast<const CPropertyItem*>(record);
    typeCode = p->typeCode;
    flags = p->flags;
    eoc = p->eoc;
    valueText = p->valueText;
    rawValue = p->GetRawValue();
  }
}

CompareRecord::CompareRecord(const RecordData& d)
    : id(d.id),
      kind(d.kind),
      atomType(d.atomType),
      typeCode(d.typeCode),
      flags(d.flags),
      eoc(d.eoc),
      rawValue(d.rawValue),
      valueText(d.valueText) {}

const CompareRecord& CompareResult::Fields(const Difference& d, bool second) const {
  static const CompareRecord kNone;
  int32_t at = second ? d.secondData : d.firstData;
  const std::vector<CompareRecord>& table = second ? secondData : firstData;
  return at >= 0 && size_t(at) < table.size() ? table[size_t(at)] : kNone;
}

RecordData CompareResult::DataOf(const Difference& d, bool second) const {
  const CompareRecord& f = Fields(d, second);
  RecordData data;
  data.id = f.id;
  data.kind = f.kind;
  int32_t index = second ? d.second : d.first;
  const std::vector<std::string>& names = second ? secondNames : firstNames;
  if (index >= 0 && size_t(index) < names.size()) data.name = names[size_t(index)];
  data.atomType = f.atomType;
  data.typeCode = f.typeCode;
  data.flags = f.flags;
  data.eoc = f.eoc;
  data.valueText = f.valueText;
  data.rawValue = f.rawValue;
  return data;
}

std::string CompareResult::FieldText(const Difference& d, bool onSecond, int fieldIndex) const {
  int32_t index = onSecond ? d.second : d.first;
  if (index < 0) return {};
  const RecordData data = DataOf(d, onSecond);
  std::string link;
  if ((1 << fieldIndex) == kFieldLink && data.kind == kKindProperty &&
      data.typeCode == kTypeLinkTo) {
    int32_t target = (onSecond ? secondLinks : firstLinks)[size_t(index)];
    link = target >= 0 ? ShownPathOf(onSecond, target) : data.valueText;
  }
  return DifferenceFieldText(data, fieldIndex, link);
}

namespace {

// The comparison of two walked sides into `r`.
void CompareSides(const Side& a, const Side& b, CompareResult& r, IProgress* progress) {
  const CompareOptions& options = r.options;
  size_t na = a.records.size(), nb = b.records.size();
  // The walk over the records of both sides, where the differences are described, is the part
  // that grows with the bases.
  ProgressTicker ticker(progress, na + nb, 4096);
  ticker.At(0);
  r.firstToSecond.assign(na, -1);
  r.secondToFirst.assign(nb, -1);
  if (options.byPath)
    MatchByPath(a, b, r);
  else
    MatchById(a, b, r);

  std::vector<uint8_t> across(na, 0);
  for (size_t i = 0; i < na; ++i) {
    int32_t j = r.firstToSecond[i];
    if (j < 0) continue;
    int32_t pa = a.parents[i];
    across[i] = (pa < 0 ? -1 : r.firstToSecond[size_t(pa)]) != b.parents[size_t(j)];
  }
  std::vector<uint8_t> reordered(na, 0);
  FindReordered(r, across, &reordered);

  // Room for a difference per record: reserved, not touched, so it costs no memory until it
  // is used. A table with much room left gives it back at the end; the differences are
  // gathered into a list of their size when they are put in order.
  r.differences.reserve(na + nb);
  r.firstData.reserve(na);
  r.secondData.reserve(nb);
  // A record's data goes into its side's table with its first difference; the next difference
  // of the same record (changed, then moved) names the same entry.
  int32_t lastFirst = -1, lastSecond = -1;
  auto add = [&](DifferenceKind kind, int32_t i, int32_t j, uint8_t fields, bool acrossParents) {
    Difference& d = r.differences.emplace_back();
    d.kind = kind;
    d.fields = fields;
    d.acrossParents = acrossParents;
    d.first = i;
    d.second = j;
    if (i >= 0) {
      d.firstId = a.ids[size_t(i)];
      if (i != lastFirst) {
        lastFirst = i;
        r.firstData.emplace_back(a.records[size_t(i)]);
      }
      d.firstData = int32_t(r.firstData.size() - 1);
    }
    if (j >= 0) {
      d.secondId = b.ids[size_t(j)];
      if (j != lastSecond) {
        lastSecond = j;
        r.secondData.emplace_back(b.records[size_t(j)]);
      }
      d.secondData = int32_t(r.secondData.size() - 1);
    }
  };
  // The fields are compared and the differences described in one pass, while both records are
  // at hand.
  for (size_t i = 0; i < na; ++i) {
    ticker.At(i);
    int32_t j = r.firstToSecond[i];
    if (j < 0) {
      add(DifferenceKind::kRemoved, int32_t(i), -1, 0, false);
      continue;
    }
    if (uint8_t fields = ChangedFields(r, a, b, i, size_t(j)))
      add(DifferenceKind::kChanged, int32_t(i), j, fields, false);
    if (across[i] || reordered[i]) add(DifferenceKind::kMoved, int32_t(i), j, 0, across[i]);
  }
  size_t firstSide = r.differences.size();
  for (size_t j = 0; j < nb; ++j) {
    ticker.At(na + j);
    if (r.secondToFirst[j] < 0) add(DifferenceKind::kAdded, -1, int32_t(j), 0, false);
  }

  // By path, then kind. The records of each side are sorted on their own, where most paths are
  // told apart by the names under a common parent, and the two runs then merged.
  // Within a side the ranks of the paths tell, where there are ranks; across sides the paths.
  PathOrder paths(r);
  // Ranking a side costs a walk over all its records: worth it only for many differences.
  std::vector<int32_t> ranks[2];
  if (firstSide > na / 8) ranks[0] = PathRanks(r.firstParents, r.firstNames);
  if (r.differences.size() - firstSide > nb / 8)
    ranks[1] = PathRanks(r.secondParents, r.secondNames);
  auto before = [&](uint32_t x, uint32_t y) {
    const Difference& dx = r.differences[x];
    const Difference& dy = r.differences[y];
    bool sx = dx.OnSecond(), sy = dy.OnSecond();
    if (sx == sy && !ranks[sx].empty()) {
      int32_t rx = ranks[sx][size_t(dx.Index())], ry = ranks[sy][size_t(dy.Index())];
      if (rx != ry) return rx < ry;
    } else if (int c = paths.Compare(sx, dx.Index(), sy, dy.Index())) {
      return c < 0;
    }
    return dx.kind < dy.kind;
  };
  std::vector<uint32_t> order(r.differences.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = uint32_t(k);
  // A ranked side is put in order by counting, by rank, then by kind among the differences of
  // one path; list order stays among equals.
  auto sortSide = [&](bool second, size_t from, size_t to) {
    if (ranks[second].empty()) {
      std::stable_sort(order.begin() + ptrdiff_t(from), order.begin() + ptrdiff_t(to), before);
      return;
    }
    auto rankOf = [&](size_t k) { return size_t(ranks[second][size_t(r.differences[k].Index())]); };
    std::vector<uint32_t> start(ranks[second].size() + 1, 0);
    for (size_t k = from; k < to; ++k) ++start[rankOf(k) + 1];
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    for (size_t k = from; k < to; ++k) order[from + start[rankOf(k)]++] = uint32_t(k);
    // Now start[q] is where rank q ends.
    for (size_t q = 0, begin = 0; q + 1 < start.size(); begin = start[q++])
      if (start[q] - begin > 1)
        std::stable_sort(
            order.begin() + ptrdiff_t(from + begin), order.begin() + ptrdiff_t(from + start[q]),
            [&](uint32_t x, uint32_t y) { return r.differences[x].kind < r.differences[y].kind; });
  };
  sortSide(false, 0, firstSide);
  sortSide(true, firstSide, order.size());
  std::inplace_merge(order.begin(), order.begin() + ptrdiff_t(firstSide), order.end(), before);
  // Gathered in that order into a list of their own: a difference is a few numbers.
  std::vector<Difference> sorted;
  sorted.reserve(order.size());
  for (uint32_t k : order) sorted.push_back(r.differences[k]);
  r.differences = std::move(sorted);
  for (auto* table : {&r.firstData, &r.secondData})
    if (table->capacity() > 2 * table->size() + 1024) table->shrink_to_fit();
  ticker.Finish();
}

}  // namespace

CompareResult CompareDocuments(const CTarnelDoc& first, const CTarnelDoc& second,
                               const CompareOptions& options, IProgress* progress) {
  CompareResult r;
  r.options = options;
  Side a(first, r.firstIds, r.firstKinds, r.firstParents, r.firstLinks, r.firstNames);
  Side b(second, r.secondIds, r.secondKinds, r.secondParents, r.secondLinks, r.secondNames);
  CompareSides(a, b, r, progress);
  return r;
}

std::pair<CompareResult, CompareResult> CompareDocuments(const CTarnelDoc& first,
                                                         const CTarnelDoc& second,
                                                         const CTarnelDoc& third,
                                                         const CompareOptions& options) {
  std::pair<CompareResult, CompareResult> r;
  r.first.options = r.second.options = options;
  CompareResult& x = r.first;
  CompareResult& y = r.second;
  Side a(first, x.firstIds, x.firstKinds, x.firstParents, x.firstLinks, x.firstNames);
  Side b(second, x.secondIds, x.secondKinds, x.secondParents, x.secondLinks, x.secondNames);
  CompareSides(a, b, x, nullptr);
  Side again(a, y.firstIds, y.firstKinds, y.firstParents, y.firstLinks, y.firstNames);
  Side c(third, y.secondIds, y.secondKinds, y.secondParents, y.secondLinks, y.secondNames);
  CompareSides(again, c, y, nullptr);
  return r;
}

DifferenceIds CollectDifferenceIds(const CompareResult& r) {
  DifferenceIds ids;
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        ids.removed.push_back(d.firstId);
        break;
      case DifferenceKind::kAdded:
        ids.added.push_back(d.secondId);
        break;
      case DifferenceKind::kChanged:
        ids.changed.emplace_back(d.firstId, d.fields);
        break;
      case DifferenceKind::kMoved:
        ids.moved.push_back(d.firstId);
        break;
    }
  }
  for (auto* list : {&ids.added, &ids.removed, &ids.moved}) std::sort(list->begin(), list->end());
  std::sort(ids.changed.begin(), ids.changed.end());
  return ids;
}

uint32_t CompareResult::NearestFirstId(const Difference& d) const {
  if (d.first >= 0) return d.firstId;
  int32_t p = secondParents[size_t(d.second)];
  while (p >= 0 && secondToFirst[size_t(p)] < 0) p = secondParents[size_t(p)];
  return p >= 0 ? firstIds[size_t(secondToFirst[size_t(p)])] : 0;
}

std::vector<size_t> CompareResult::ValuesToSend() const {
  std::vector<size_t> out;
  for (size_t k = 0; k < differences.size(); ++k) {
    const Difference& d = differences[k];
    if (d.kind != DifferenceKind::kChanged || !(d.fields & (kFieldValue | kFieldRaw))) continue;
    const CompareRecord& mine = Fields(d, false);
    const CompareRecord& theirs = Fields(d, true);
    if (mine.kind == kKindProperty && theirs.kind == kKindProperty &&
        mine.typeCode == theirs.typeCode && mine.rawValue != theirs.rawValue)
      out.push_back(k);
  }
  return out;
}
