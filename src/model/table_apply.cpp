#include "model/table_apply.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "model/base_compare.h"
#include "model/bulk_property_edit.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/document_state.h"
#include "model/property_table.h"
#include "model/record_lookup.h"
#include "model/records.h"
#include "model/value_types.h"

namespace {

// The records of a document in tree order (a group, then its branch, an atom's properties right
// after the atom) as a comparison numbers them, and the records a record path names. A path is
// followed name by name from the top, each name looked for among the children of the records
// the names before it reached (several, where siblings share a name); the names the previous
// path shared with it are not looked for again, and among siblings the search starts after the
// one found last. A row's path is first checked against the record that follows the previous
// row's in tree order, so a table written from the tree finds most rows at once. Where a
// record's name holds a slash, names no longer tell a path's steps: every path is then written
// out once into a table of whole paths.
class PathIndex {
 public:
  // With `side`, each record's identifier, kind, name, parent and link are written into the
  // first side of a comparison as the records are walked.
  explicit PathIndex(const CTarnelDoc& doc, CompareResult* side = nullptr)
      : byKey_(0x10000, -1), side_(side) {
    const size_t expected = size_t(doc.Ids().Count()) + 16;
    records_.reserve(expected);
    parents_.reserve(expected);
    if (side_) {
      side_->firstIds.reserve(expected);
      side_->firstKinds.reserve(expected);
      side_->firstNames.reserve(expected);
    }
    for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i) Add(doc, doc.RecordAt(nullptr, i), -1);
    const size_t count = records_.size();
    if (side_) {
      side_->firstParents = parents_;
      side_->firstLinks.assign(count, -1);
      for (auto [index, id] : links_) side_->firstLinks[size_t(index)] = IndexOfId(id);
      links_ = {};
    }
    // Child lists, by parent index + 1 (0: the groups).
    firstChild_.assign(count + 1, -1);
    nextSibling_.assign(count, -1);
    childCount_.assign(count + 1, 0);
    std::vector<int32_t> last(count + 1, -1);
    for (size_t i = 0; i < count; ++i) {
      size_t p = size_t(parents_[i] + 1);
      (last[p] < 0 ? firstChild_[p] : nextSibling_[size_t(last[p])]) = int32_t(i);
      last[p] = int32_t(i);
      ++childCount_[p];
    }
    resume_.assign(count + 1, -1);
    twins_.assign(count + 1, -1);
    if (slashed_) BuildWhole();
  }
  // The one record the path names; null for none, and `twice` when two share it. `row`: the
  // path is a row's own, so the next row's is looked for first after its record in tree order.
  CRecord* Find(std::string_view path, bool* twice, int32_t* index = nullptr,
                bool row = false) const {
    int32_t found = -1;
    int matches = slashed_ ? FindWhole(path, &found) : Follow(path, &found, row);
    *twice = matches > 1;
    if (matches != 1) return nullptr;
    if (index) *index = found;
    return records_[size_t(found)];
  }
  // The records in tree order.
  const std::vector<CRecord*>& Records() const { return records_; }
  // The index of the record the registry holds under the identifier's key; -1 for none.
  int32_t IndexOfId(uint32_t id) const { return byKey_[KeyOf(id)]; }

 private:
  struct Step {
    uint32_t from, to;  // in candidates_
  };
  // Longer lists of children are searched through a map of their names.
  static constexpr int32_t kMapped = 32;
  void Add(const CTarnelDoc& doc, CRecord* r, int32_t parent) {
    auto index = int32_t(records_.size());
    records_.push_back(r);
    parents_.push_back(parent);
    if (doc.Ids().Lookup(r->id) == r) byKey_[KeyOf(r->id)] = index;
    slashed_ = slashed_ || r->name.find('/') != std::string::npos;
    if (side_) {
      const RecordKind kind = r->Kind();
      side_->firstIds.push_back(r->id);
      side_->firstKinds.push_back(uint8_t(kind));
      side_->firstNames.push_back(r->name);
      if (kind == kKindProperty)
        if (const auto* p = static_cast<const CPropertyItem*>(r); p->typeCode == kTypeLinkTo)
          links_.emplace_back(index, uint32_t(AtoI(p->valueText)));
    }
    ForEachChild(r, [&](CRecord* c) { Add(doc, c, index); });
  }

  // How many records the path names, the last of them in `found`.
  int Follow(std::string_view path, int32_t* found, bool row) const {
    if (path.empty() || path[0] != '/') return 0;
    const size_t cut = path.rfind('/');
    if (row) {
      if (int32_t x = NextInOrder(path, cut); x >= 0) return *found = x, 1;
      last_ = -1;  // set again below when the path names one record at every step
    }
    size_t step = 0;  // steps of the previous path that still hold
    bool same = true;
    size_t from = 1;
    const bool underParent =
        cut > 0 && cut + 1 == parent_.size() && path.compare(0, cut + 1, parent_) == 0;
    if (underParent) {
      // Under the same parent as the path before: only the last name is looked for.
      step = parentSteps_;
      from = cut + 1;
    }
    for (;;) {
      size_t end = path.find('/', from);
      std::string_view name = path.substr(from, end == path.npos ? path.npos : end - from);
      if (same && step < steps_.size() && NameOf(steps_[step]) == name) {
        ++step;
      } else {
        same = false;
        steps_.resize(step);
        if (step < parentSteps_) parent_.clear();
        candidates_.resize(step == 0 ? 0 : steps_[step - 1].to);
        Step next{uint32_t(candidates_.size()), 0};
        if (step == 0) {
          Children(-1, name);
        } else {
          for (uint32_t k = steps_[step - 1].from; k < steps_[step - 1].to; ++k)
            Children(candidates_[k], name);
        }
        next.to = uint32_t(candidates_.size());
        if (next.from == next.to) return 0;  // a step that reaches nothing is not kept
        steps_.push_back(next);
        ++step;
      }
      if (end == path.npos) {
        if (cut > 0 && !underParent) {
          parent_.assign(path.data(), cut + 1);
          parentSteps_ = step - 1;
        }
        const Step& at = steps_[step - 1];
        *found = candidates_[at.to - 1];
        // What comes next in tree order is looked for first after a path below the top that
        // named one record at every step.
        bool one = row && cut > 0;
        for (size_t k = 0; k < step && one; ++k) one = steps_[k].to - steps_[k].from == 1;
        if (one) {
          last_ = *found;
          lastParent_.assign(path.data(), cut + 1);
        }
        return int(at.to - at.from);
      }
      from = end + 1;
    }
  }
  // The record the path names when it comes right after the previous path's record in tree
  // order, as in a table written from the tree: the record's next sibling, or the first child
  // of its parent's next sibling. -1 when it is neither, or when names there do not tell
  // records apart.
  int32_t NextInOrder(std::string_view path, size_t cut) const {
    if (last_ < 0 || cut == 0) return -1;
    const std::string_view name = path.substr(cut + 1);
    if (cut + 1 == lastParent_.size() &&
        std::memcmp(path.data(), lastParent_.data(), cut + 1) == 0) {
      int32_t x = Sibling(last_);
      if (x < 0 || Name(x) != name) return -1;
      return last_ = x;
    }
    // The parent's next sibling, under the same grandparent.
    const size_t up = path.rfind('/', cut - 1);
    if (up != lastParent_.rfind('/', lastParent_.size() - 2) ||
        std::memcmp(path.data(), lastParent_.data(), up + 1) != 0)
      return -1;
    int32_t parent = Sibling(parents_[size_t(last_)]);
    if (parent < 0 || Name(parent) != path.substr(up + 1, cut - up - 1)) return -1;
    const size_t p = size_t(parent) + 1;
    Prepare(p);
    int32_t x = firstChild_[p];
    if (twins_[p] != 0 || x < 0 || Name(x) != name) return -1;
    lastParent_.assign(path.data(), cut + 1);
    return last_ = x;
  }
  // The sibling after record `x` in tree order, where names among those siblings tell one
  // record from another; -1 for none.
  int32_t Sibling(int32_t x) const {
    int32_t next = nextSibling_[size_t(x)];
    return next >= 0 && twins_[size_t(parents_[size_t(x)] + 1)] == 0 ? next : -1;
  }
  // A record's name; from the comparison's copies where there are any, which lie side by side.
  const std::string& Name(int32_t x) const {
    return side_ ? side_->firstNames[size_t(x)] : records_[size_t(x)]->name;
  }
  const std::string& NameOf(const Step& step) const { return Name(candidates_[step.from]); }
  // Looked at once per parent: whether two children share a name, and for a long list of
  // children each name's first child.
  void Prepare(size_t p) const {
    if (twins_[p] >= 0) return;
    bool twins = false;
    if (childCount_[p] > kMapped) {
      auto& map = maps_[p];
      map.reserve(size_t(childCount_[p]));
      for (int32_t x = firstChild_[p]; x >= 0; x = nextSibling_[size_t(x)])
        twins |= !map.emplace(Name(x), x).second;
    } else {
      for (int32_t x = firstChild_[p]; x >= 0 && !twins; x = nextSibling_[size_t(x)])
        for (int32_t y = nextSibling_[size_t(x)]; y >= 0 && !twins; y = nextSibling_[size_t(y)])
          twins = Name(x) == Name(y);
    }
    twins_[p] = twins;
  }
  // Appends the children of `parent` (-1: the top) named `name` to candidates_, in tree order.
  void Children(int32_t parent, std::string_view name) const {
    size_t p = size_t(parent + 1);
    Prepare(p);
    if (twins_[p]) {
      for (int32_t x = firstChild_[p]; x >= 0; x = nextSibling_[size_t(x)])
        if (Name(x) == name) candidates_.push_back(x);
      return;
    }
    if (childCount_[p] > kMapped) {
      const auto& map = maps_.find(p)->second;
      if (auto it = map.find(name); it != map.end()) candidates_.push_back(it->second);
      return;
    }
    // Where the last search among these siblings ended: the next row names the next sibling.
    int32_t start = resume_[p] >= 0 ? resume_[p] : firstChild_[p];
    if (start < 0) return;  // no children
    int32_t x = start;
    do {
      if (Name(x) == name) {
        candidates_.push_back(x);
        resume_[p] = nextSibling_[size_t(x)];
        return;
      }
      x = nextSibling_[size_t(x)];
      if (x < 0) x = firstChild_[p];
    } while (x != start);
  }

  void BuildWhole() {
    std::vector<size_t> start(records_.size()), length(records_.size());
    size_t bytes = 0;
    for (size_t i = 0; i < records_.size(); ++i) {
      int32_t p = parents_[i];
      length[i] = (p < 0 ? 0 : length[size_t(p)]) + 1 + records_[i]->name.size();
      bytes += length[i];
    }
    text_.reserve(bytes);
    for (size_t i = 0; i < records_.size(); ++i) {
      int32_t p = parents_[i];
      start[i] = text_.size();
      if (p >= 0) text_.append(text_, start[size_t(p)], length[size_t(p)]);
      text_ += '/';
      text_ += records_[i]->name;
      auto& e = whole_[std::string_view(text_.data() + start[i], length[i])];
      if (e.second++ == 0) e.first = int32_t(i);
    }
  }
  int FindWhole(std::string_view path, int32_t* found) const {
    auto it = whole_.find(path);
    if (it == whole_.end()) return 0;
    *found = it->second.first;
    return it->second.second;
  }

  std::vector<CRecord*> records_;
  std::vector<int32_t> parents_;
  std::vector<int32_t> byKey_;
  CompareResult* side_;
  std::vector<std::pair<int32_t, uint32_t>> links_;  // while walking: a link's index, its value
  std::vector<int32_t> firstChild_, nextSibling_, childCount_;
  bool slashed_ = false;
  // The previous path's steps: the records each name reached, in candidates_.
  mutable std::vector<Step> steps_;
  mutable std::vector<int32_t> candidates_;
  // The previous path up to its last slash while its steps are kept, and how many they are.
  mutable std::string parent_;
  mutable size_t parentSteps_ = 0;
  // The record the previous path named when every step of it named one record, and that
  // path up to its last slash; -1 otherwise.
  mutable int32_t last_ = -1;
  mutable std::string lastParent_;
  // By parent index + 1: where to look first; whether two children share a name (-1: not
  // looked at yet); for a long list of children, each name's first child.
  mutable std::vector<int32_t> resume_;
  mutable std::vector<int8_t> twins_;
  mutable std::unordered_map<size_t, std::unordered_map<std::string_view, int32_t>> maps_;
  // Whole paths, only where a name holds a slash: the first record with each, and how many.
  std::string text_;  // reserved whole, so the views into it stay valid
  std::unordered_map<std::string_view, std::pair<int32_t, int>> whole_;
};

// The line of the row of each property named, by identifier: a slot per registry key, and a
// map for an identifier whose key another one holds already.
class LineById {
 public:
  LineById() : ids_(0x10000, 0), lines_(0x10000, 0) {}
  // The line given before for the identifier; 0, with `line` kept, when there was none.
  int Insert(uint32_t id, int line) {
    uint16_t k = KeyOf(id);
    if (lines_[k] == 0) {
      ids_[k] = id;
      lines_[k] = line;
      return 0;
    }
    if (ids_[k] == id) return lines_[k];
    auto [it, fresh] = others_.emplace(id, line);
    return fresh ? 0 : it->second;
  }
  bool Contains(uint32_t id) const {
    uint16_t k = KeyOf(id);
    return (lines_[k] != 0 && ids_[k] == id) || others_.count(id) != 0;
  }

 private:
  std::vector<uint32_t> ids_;
  std::vector<int> lines_;
  std::unordered_map<uint32_t, int> others_;
};

// What one usable row asks of its property.
struct RowPlan {
  int line = 0;
  CPropertyItem* property = nullptr;  // null: a new one
  CRecord* atom = nullptr;            // for a new one
  int32_t index = -1;                 // the property's (or the new one's atom's) in tree order
  std::string_view name;              // for a new one
  bool hasValue = false, hasType = false, hasFlags = false, hasEoc = false;
  std::string_view value;  // texts lie in the table or the edits, which outlive the plan
  uint8_t type = 0;
  uint8_t flags = 0;
  bool eoc = false;
  const CRecord* link = nullptr;
  bool linkKept = false;  // the link cell names where the property links already
  bool hasName = false;   // a cell edit only: the file contract has no name
  std::string_view newName;
};

bool IsEmptyCell(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t') return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The form's names of the type codes below kTypeCount.
const std::array<std::string_view, kTypeCount> kTypeNames = [] {
  std::array<std::string_view, kTypeCount> n;
  for (size_t i = 0; i < n.size(); ++i) n[i] = TypeCodeToName(int(i));
  return n;
}();

using PathLookup = std::function<CRecord*(std::string_view path, bool* twice)>;

// Reads one cell of a row into its plan; false, with the problem, when it cannot be used. An
// empty type or end-of-chain cell leaves the field as it is; empty flags are no flags.
[[gnu::always_inline]] inline bool ReadCell(const CTarnelDoc& doc, const PathLookup& find,
                                            RowPlan& row, int column, std::string_view text,
                                            TableRowProblem* problem) {
  const CPropertyItem* p = row.property;
  switch (column) {
    case kColumnName:
      if (IsEmptyCell(text)) return *problem = TableRowProblem::kEmptyName, false;
      row.hasName = true;
      row.newName = text;
      return true;
    case kColumnType: {
      // Most rows keep their property's type, named as the table writes it.
      if (p && p->typeCode < kTypeCount && text == kTypeNames[p->typeCode]) {
        row.hasType = true;
        row.type = p->typeCode;
        return true;
      }
      if (IsEmptyCell(text)) return true;
      std::string_view name = Trim(text);
      int code = p && p->typeCode < kTypeCount && name == kTypeNames[p->typeCode]
                     ? int(p->typeCode)
                     : TypeNameToCode(name);
      // A type the form cannot name may stay as it is.
      if (code < 0 && !(p && Trim(text) == TypeCodeToName(p->typeCode)))
        return *problem = TableRowProblem::kBadType, false;
      row.hasType = code >= 0;
      row.type = uint8_t(code);
      return true;
    }
    case kColumnValue:
      row.hasValue = true;
      row.value = text;
      return true;
    case kColumnFlags:
      if (!ParseFlagsText(text, &row.flags)) return *problem = TableRowProblem::kBadFlags, false;
      row.hasFlags = true;
      return true;
    case kColumnEoc:
      if (IsEmptyCell(text)) return true;
      if (!ParseEocText(text, &row.eoc)) return *problem = TableRowProblem::kBadEoc, false;
      row.hasEoc = true;
      return true;
    case kColumnLink: {
      if (IsEmptyCell(text)) return true;
      // Where the property links already, as the table shows it (even a path two records
      // share): the link stays as it is.
      if (p && p->typeCode == kTypeLinkTo && TableCellText(doc, *p, kColumnLink) == text) {
        row.linkKept = true;
        return true;
      }
      bool twice = false;
      row.link = AsProperty(find(text, &twice));
      if (!row.link) return *problem = TableRowProblem::kBadLink, false;
      return true;
    }
    default:
      return *problem = TableRowProblem::kNotEditable, false;
  }
}

// The checks that need the whole row: a link goes with the LINK_TO type only, and a LINK_TO
// made by its value must name a property.
bool FinishRow(const CTarnelDoc& doc, RowPlan& row, TableRowProblem* problem) {
  const CPropertyItem* p = row.property;
  if (row.link || row.linkKept) {
    if (row.hasType && row.type != kTypeLinkTo) return *problem = TableRowProblem::kBadLink, false;
    if (row.linkKept) row.hasValue = row.hasType = false;
    return true;
  }
  uint8_t type = row.hasType ? row.type : p ? p->typeCode : uint8_t(kTypeBin);
  if (type != kTypeLinkTo) return true;
  std::string_view v = row.hasValue ? row.value
                       : p          ? std::string_view(p->valueText)
                                    : std::string_view();
  // A link that named nothing before and is left as it was stays.
  bool unchanged = p && p->typeCode == kTypeLinkTo && v == p->valueText;
  if (!unchanged && !AsProperty(doc.LookupRecord(uint32_t(AtoI(v))))) {
    row.value = v;
    return *problem = TableRowProblem::kBadLink, false;
  }
  return true;
}

// The property the row ends up on (null when a new one could not be made).
CPropertyItem* ApplyRow(CTarnelDoc& doc, const RowPlan& row, TableApplyResult* result) {
  CPropertyItem* p = row.property;
  if (!p) {
    PropertyDraft draft;
    draft.name = std::string(row.name);
    EditResult made = AddProperty(doc, row.atom, draft);
    p = AsProperty(made.record);
    if (!p) return nullptr;
    ++result->added;
  }
  bool changed = false;
  if (row.hasName && row.newName != p->name) {
    RecordChange change(doc.events(), p);
    p->SetName(std::string(row.newName));
    changed = true;
  }
  if (row.link) {
    changed |= SetLinkTarget(doc, p, row.link);
  }
  const bool newValue = !row.link && row.hasValue && row.value != p->valueText;
  const bool newType = !row.link && row.hasType && row.type != p->typeCode;
  const uint8_t flagBits = (1u << CBulkPropertyEdit::kFlagCount) - 1;
  const bool newFlags = row.hasFlags && ((p->flags ^ row.flags) & flagBits) != 0;
  // Most rows of a table brought back change nothing; only the others need the form's edit.
  if (newValue || newType || newFlags) {
    CBulkPropertyEdit edit({p});
    if (newValue) edit.SetValue(std::string(row.value));
    if (newType) edit.SetType(row.type);
    if (newFlags)
      for (int bit = 0; bit < CBulkPropertyEdit::kFlagCount; ++bit)
        if (bool on = row.flags >> bit & 1; on != p->IsFlagSet(bit)) edit.SetFlag(bit, on);
    RecordChange change(doc.events(), p);
    changed |= edit.ApplyTo(doc.Ids(), *p);
  }
  if (row.hasEoc) changed |= SetEndOfChain(doc, p, row.eoc);
  if (changed && row.property) ++result->changed;
  return p;
}

// Whether ApplyRow changes anything of the property (a value text written otherwise counts).
inline bool RowChanges(const RowPlan& row, const CPropertyItem& p) {
  if (row.link)
    return !(p.typeCode == kTypeLinkTo && p.valueText == std::to_string(int32_t(row.link->id))) ||
           (row.hasFlags && ((p.flags ^ row.flags) & 0x3F) != 0) ||
           (row.hasEoc && row.eoc != p.eoc);
  const uint8_t flagBits = (1u << CBulkPropertyEdit::kFlagCount) - 1;
  return (row.hasValue && row.value != p.valueText) || (row.hasType && row.type != p.typeCode) ||
         (row.hasFlags && ((p.flags ^ row.flags) & flagBits) != 0) ||
         (row.hasEoc && row.eoc != p.eoc);
}

// The usable rows of a table, each checked against the document as it is, and the rows that
// cannot be used.
struct TablePlan {
  std::vector<RowPlan> rows;
  std::vector<TableRowRefusal> refused;
  LineById seen;  // every property a row names, refused rows too
};

// Throws CsvError when the table itself cannot serve: no rows, or no path column (identifier
// column with `byId`).
TablePlan PlanRows(const CTarnelDoc& doc, const PathIndex& paths, const CsvTable& table,
                   const TableApplyOptions& options) {
  TablePlan out;
  if (table.RowCount() == 0) throw CsvError(1, "the table is empty");
  // Which cell of a row holds each column of the file contract; -1 where the file has none.
  int at[kTableColumnCount];
  std::fill(std::begin(at), std::end(at), -1);
  for (int c = 0; c < table.CellCount(0); ++c) {
    int column = TableColumnOfKey(table.Cell(0, c));
    if (column >= 0 && column != kColumnName && at[column] < 0) at[column] = c;
  }
  const int key = options.byId ? kColumnId : kColumnPath;
  if (at[key] < 0)
    throw CsvError(table.Line(0),
                   std::string("the table has no ") + TableColumnKey(key) + " column");
  int used = 0;
  for (int c : at) used = std::max(used, c + 1);

  const PathLookup find = [&paths](std::string_view path, bool* twice) {
    return paths.Find(path, twice);
  };
  std::vector<RowPlan>& plans = out.rows;
  LineById& seen = out.seen;
  std::unordered_map<std::string, int> seenNew;  // path of a new property: line of its row
  for (int r = 1; r < table.RowCount(); ++r) {
    RowPlan row;
    row.line = table.Line(r);
    auto refuse = [&](TableRowProblem problem, std::string_view detail) {
      out.refused.push_back({row.line, problem, std::string(detail)});
    };
    auto cell = [&](int column) { return table.Cell(r, at[column]); };
    if (table.CellCount(r) < used) {
      refuse(TableRowProblem::kShortRow, "");
      continue;
    }
    // The row's property, found before anything else, so that a row refused for a bad cell
    // still keeps its property from being deleted as missing.
    CRecord* found = nullptr;
    bool twice = false;
    std::string_view keyText = cell(key);
    if (IsEmptyCell(keyText)) {
      refuse(TableRowProblem::kNoPath, TableColumnKey(key));
      continue;
    }
    if (options.byId) {
      std::string_view digits = Trim(keyText);
      bool number = digits.size() <= 10 && digits.find_first_not_of("0123456789") == digits.npos;
      found = number ? doc.LookupRecord(uint32_t(std::stoull(std::string(digits)))) : nullptr;
      if (found) row.index = paths.IndexOfId(found->id);
      if (!found) {
        refuse(TableRowProblem::kUnknownId, keyText);
        continue;
      }
    } else {
      found = paths.Find(keyText, &twice, &row.index, true);
      if (twice) {
        refuse(TableRowProblem::kAmbiguousPath, keyText);
        continue;
      }
    }
    if (found && !AsProperty(found)) {
      refuse(TableRowProblem::kNotProperty, keyText);
      continue;
    }
    row.property = AsProperty(found);
    if (row.property) {
      if (int earlier = seen.Insert(row.property->id, row.line)) {
        refuse(TableRowProblem::kDuplicate, std::to_string(earlier));
        continue;
      }
    } else {
      size_t slash = keyText.rfind('/');
      row.atom = slash == 0 || slash == keyText.npos
                     ? nullptr
                     : paths.Find(keyText.substr(0, slash), &twice, &row.index);
      if (twice) {
        refuse(TableRowProblem::kAmbiguousPath, keyText.substr(0, slash));
        continue;
      }
      row.name = keyText.substr(slash == keyText.npos ? 0 : slash + 1);
      if (!AsAtom(row.atom) || row.name.empty()) {
        refuse(TableRowProblem::kUnknownAtom, keyText);
        continue;
      }
      auto [it, first] = seenNew.emplace(std::string(keyText), row.line);
      if (!first) {
        refuse(TableRowProblem::kDuplicate, std::to_string(it->second));
        continue;
      }
    }
    int bad = table.UnencodableCell(r);
    if (bad >= 0 && bad < used && std::find(std::begin(at), std::end(at), bad) != std::end(at)) {
      refuse(TableRowProblem::kUnencodable, table.Cell(0, bad));
      continue;
    }
    TableRowProblem problem{};
    std::string_view offending;
    bool usable = true;
    for (int column : {kColumnType, kColumnValue, kColumnFlags, kColumnEoc, kColumnLink}) {
      if (at[column] < 0) continue;
      offending = cell(column);
      if (!ReadCell(doc, find, row, column, offending, &problem)) {
        usable = false;
        break;
      }
    }
    if (usable && !FinishRow(doc, row, &problem)) {
      usable = false;
      offending = row.value;
    }
    if (!usable) {
      refuse(problem, offending);
      continue;
    }
    // A row that leaves its property as it is needs nothing more: most rows of a table
    // brought back are such.
    if (row.property && !RowChanges(row, *row.property)) continue;
    plans.push_back(std::move(row));
  }

  return out;
}

}  // namespace

const char* TableRowProblemText(TableRowProblem problem) {
  switch (problem) {
    case TableRowProblem::kShortRow:
      return "the row is shorter than the header";
    case TableRowProblem::kNoPath:
      return "no path";
    case TableRowProblem::kUnknownAtom:
      return "unknown atom";
    case TableRowProblem::kAmbiguousPath:
      return "the path names two records";
    case TableRowProblem::kNotProperty:
      return "not a property";
    case TableRowProblem::kUnknownId:
      return "unknown identifier";
    case TableRowProblem::kBadType:
      return "bad type";
    case TableRowProblem::kBadFlags:
      return "bad flags";
    case TableRowProblem::kBadEoc:
      return "bad eoc";
    case TableRowProblem::kUnencodable:
      return "text windows-1251 cannot hold";
    case TableRowProblem::kBadLink:
      return "the link path names no property";
    case TableRowProblem::kDuplicate:
      return "the property has a row already";
    case TableRowProblem::kEmptyName:
      return "empty name";
    case TableRowProblem::kNotEditable:
      return "the column cannot be edited";
  }
  return "";
}

TableApplyResult ApplyTable(CTarnelDoc& doc, const CsvTable& table,
                            const TableApplyOptions& options) {
  PathIndex paths(doc);
  TablePlan plan = PlanRows(doc, paths, table, options);
  TableApplyResult result;
  result.refused = std::move(plan.refused);
  const std::vector<RowPlan>& plans = plan.rows;

  // The properties a row names, refused rows included, stay when missing ones are deleted.
  std::unordered_set<uint32_t> named;  // beside plan.seen: the new properties
  for (const RowPlan& row : plans)
    if (CPropertyItem* p = ApplyRow(doc, row, &result); p && options.deleteMissing)
      named.insert(p->id);

  if (options.deleteMissing) {
    const CRecord* scope = options.scopeId ? doc.LookupRecord(options.scopeId) : nullptr;
    if (options.scopeId == 0 || scope) {
      for (CPropertyItem* p : TableProperties(doc, scope))
        if (!plan.seen.Contains(p->id) && !named.count(p->id) && DeleteRecord(doc, p).changed)
          ++result.deleted;
    }
  }
  return result;
}

namespace {

// A stand-in for a property of the document: its own fields and identifier, in no document.
std::unique_ptr<CPropertyItem> CopyOwnProperty(const CPropertyItem& q) {
  std::unique_ptr<CPropertyItem> p(static_cast<CPropertyItem*>(CopyOwnFields(q).release()));
  p->id = q.id;
  return p;
}

// What ApplyRow makes of a property, made on `p`, a property in no document that stands for it:
// the same edits, without the document's bookkeeping (events, incoming links).
void ProjectRow(const CTarnelDoc& doc, const RowPlan& row, CPropertyItem& p) {
  if (row.link) {
    std::string value = std::to_string(int32_t(row.link->id));
    p.typeCode = kTypeLinkTo;
    p.valueText = std::move(value);
  }
  const bool newValue = !row.link && row.hasValue && row.value != p.valueText;
  const bool newType = !row.link && row.hasType && row.type != p.typeCode;
  const uint8_t flagBits = (1u << CBulkPropertyEdit::kFlagCount) - 1;
  const bool newFlags = row.hasFlags && ((p.flags ^ row.flags) & flagBits) != 0;
  if (newValue || newType || newFlags) {
    CBulkPropertyEdit edit({&p});
    if (newValue) edit.SetValue(std::string(row.value));
    if (newType) edit.SetType(row.type);
    if (newFlags)
      for (int bit = 0; bit < CBulkPropertyEdit::kFlagCount; ++bit)
        if (bool on = row.flags >> bit & 1; on != p.IsFlagSet(bit)) edit.SetFlag(bit, on);
    edit.ApplyFieldsTo(doc.Ids(), p);
  }
  if (row.hasEoc) p.eoc = row.eoc;
}

}  // namespace

TableDifferences DiffTable(CTarnelDoc& doc, const CsvTable& table, const TableApplyOptions& options,
                           bool ignoreValues) {
  TableDifferences out;
  CompareResult& r = out.result;
  r.options.byPath = false;
  r.options.ignoreValues = ignoreValues;
  // The first side: the document in tree order.
  PathIndex paths(doc, &r);
  TablePlan plan = PlanRows(doc, paths, table, options);
  out.refused = std::move(plan.refused);
  const std::vector<CRecord*>& records = paths.Records();
  const size_t n = records.size();

  // The second side, the document as the table would make it: the same records at the same
  // places, new properties after them (each at the end of its atom, where it would be added).
  // Each property a row changes is worked out on a stand-in.
  std::vector<std::unique_ptr<CPropertyItem>> after(n);  // by first-side index
  struct Added {
    int32_t atom;
    std::unique_ptr<CPropertyItem> property;
  };
  std::vector<Added> added;
  std::unordered_map<uint16_t, size_t> addedByKey;  // the new properties' identifiers
  uint16_t lastId = doc.Ids().GetLastId();
  auto newId = [&]() -> uint16_t {
    // As the registry hands out numbers: the next free one after the last.
    for (int tries = 0; tries < 0xFFFF; ++tries) {
      lastId = lastId == 0xFFFF ? 1 : uint16_t(lastId + 1);
      if (!doc.Ids().Lookup(lastId) && !addedByKey.count(lastId)) return lastId;
    }
    return 0;
  };
  for (const RowPlan& row : plan.rows) {
    CPropertyItem* p = nullptr;
    if (row.property) {
      // Most rows of a table brought back change nothing.
      if (!RowChanges(row, *row.property)) continue;
      auto& slot = after[size_t(row.index)];
      slot = CopyOwnProperty(*row.property);
      p = slot.get();
      const CPropertyItem& q = *row.property;
      // The decimal places come from the atom's "DecPoint" as the rows before left it.
      p->decimalPoint = q.decimalPoint;
      if (q.decimalPoint) {
        int32_t at = paths.IndexOfId(q.decimalPoint->id);
        if (at >= 0 && records[size_t(at)] == q.decimalPoint && after[size_t(at)])
          p->decimalPoint = after[size_t(at)].get();
      }
    } else {
      uint16_t id = newId();
      if (id == 0) continue;  // the document has no identifier left for it
      addedByKey[id] = added.size();
      added.push_back({row.index, std::make_unique<CPropertyItem>(id)});
      p = added.back().property.get();
      p->name = std::string(row.name);
    }
    ProjectRow(doc, row, *p);
  }

  // Properties under the scope that no row names go; links into them become BIN.
  std::vector<uint8_t> deleted(n, 0);
  bool deletes = false;
  if (options.deleteMissing) {
    const CRecord* scope = options.scopeId ? doc.LookupRecord(options.scopeId) : nullptr;
    size_t from = 0, to = n;
    if (options.scopeId != 0) {
      int32_t s = scope ? paths.IndexOfId(scope->id) : -1;
      from = to = 0;
      if (s >= 0) {
        // The scope's branch follows it in tree order.
        from = size_t(s);
        to = from + 1;
        for (; to < n; ++to) {
          int32_t up = r.firstParents[to];
          while (up >= 0 && up != s) up = r.firstParents[size_t(up)];
          if (up != s) break;
        }
      }
    }
    for (size_t i = from; i < to; ++i)
      if (r.firstKinds[i] == kKindProperty && !plan.seen.Contains(r.firstIds[i]))
        deleted[i] = deletes = true;
  }
  // Where each property links on the second side.
  auto secondTarget = [&](const CPropertyItem& p) -> int32_t {
    if (p.typeCode != kTypeLinkTo) return -1;
    uint16_t key = KeyOf(uint32_t(AtoI(p.valueText)));
    if (auto it = addedByKey.find(key); it != addedByKey.end()) return int32_t(n + it->second);
    int32_t t = paths.IndexOfId(key);
    return t >= 0 && deleted[size_t(t)] ? -1 : t;
  };
  if (deletes) {
    auto unlink = [&](CPropertyItem& p) {
      if (p.typeCode == kTypeLinkTo) {
        int32_t t = paths.IndexOfId(uint32_t(AtoI(p.valueText)));
        if (t >= 0 && deleted[size_t(t)]) p.typeCode = kTypeBin;
      }
    };
    for (size_t i = 0; i < n; ++i) {
      if (deleted[i] || r.firstLinks[i] < 0 || !deleted[size_t(r.firstLinks[i])]) continue;
      if (!after[i]) after[i] = CopyOwnProperty(*AsProperty(records[i]));
    }
    for (auto& p : after)
      if (p) unlink(*p);
    for (Added& a : added) unlink(*a.property);
  }

  r.secondIds = r.firstIds;
  r.secondKinds = r.firstKinds;
  r.secondParents = r.firstParents;
  r.secondNames = r.firstNames;
  // A link another row leaves alone still names where it did, unless that goes, or names a
  // number that was free and that a new property takes.
  r.secondLinks.resize(n);
  for (size_t i = 0; i < n; ++i) {
    int32_t t = r.firstLinks[i];
    r.secondLinks[i] = t >= 0 && deleted[size_t(t)] ? -1 : t;
    if (t < 0 && !added.empty() && r.firstKinds[i] == kKindProperty)
      r.secondLinks[i] = secondTarget(*AsProperty(records[i]));
  }
  for (size_t i = 0; i < n; ++i)
    if (after[i]) r.secondLinks[i] = secondTarget(*after[i]);
  for (Added& a : added) {
    r.secondIds.push_back(a.property->id);
    r.secondKinds.push_back(kKindProperty);
    r.secondParents.push_back(a.atom);
    r.secondNames.push_back(a.property->name);
    r.secondLinks.push_back(secondTarget(*a.property));
  }
  r.firstToSecond.resize(n);
  for (size_t i = 0; i < n; ++i) r.firstToSecond[i] = deleted[i] ? -1 : int32_t(i);
  r.secondToFirst = r.firstToSecond;
  r.secondToFirst.resize(r.secondIds.size(), -1);

  // The differences, as a comparison of the two sides finds them.
  auto changedFields = [&](size_t i, const CPropertyItem& b) -> uint8_t {
    const CPropertyItem& a = *AsProperty(records[i]);
    uint8_t f = 0;
    if (a.typeCode != b.typeCode) f |= kFieldType;
    if (a.flags != b.flags) f |= kFieldFlags;
    if (a.eoc != b.eoc) f |= kFieldEoc;
    bool linkA = a.typeCode == kTypeLinkTo;
    bool linkB = b.typeCode == kTypeLinkTo;
    if (linkA || linkB) {
      // A link's value is an identifier: what counts is the record it names.
      if (linkA != linkB) return f | kFieldLink;
      int32_t ta = r.firstLinks[i];
      int32_t tb = r.secondLinks[i];
      if (ta >= 0 && tb >= 0 ? r.firstToSecond[size_t(ta)] != tb
                             : (ta >= 0) != (tb >= 0) || a.valueText != b.valueText)
        f |= kFieldLink;
      return f;
    }
    if (ignoreValues) return f;
    if (a.valueText != b.valueText)
      f |= kFieldValue;
    else if (a.GetRawValue() != b.GetRawValue())
      f |= kFieldRaw;
    return f;
  };
  std::vector<Difference> list;
  auto add = [&](DifferenceKind kind, int32_t i, int32_t j, uint8_t fields, const CRecord* b) {
    Difference& d = list.emplace_back();
    d.kind = kind;
    d.fields = fields;
    d.first = i;
    d.second = j;
    if (i >= 0) {
      d.firstId = r.firstIds[size_t(i)];
      d.firstData = int32_t(r.firstData.size());
      r.firstData.emplace_back(records[size_t(i)]);
    }
    if (j >= 0) {
      d.secondId = r.secondIds[size_t(j)];
      d.secondData = int32_t(r.secondData.size());
      r.secondData.emplace_back(b);
    }
  };
  for (size_t i = 0; i < n; ++i) {
    if (deleted[i]) {
      add(DifferenceKind::kRemoved, int32_t(i), -1, 0, nullptr);
      continue;
    }
    if (const CPropertyItem* b = after[i].get()) {
      if (uint8_t fields = changedFields(i, *b))
        add(DifferenceKind::kChanged, int32_t(i), int32_t(i), fields, b);
    } else if (r.secondLinks[i] != r.firstLinks[i]) {
      // A link no row touches that names another record now.
      if (uint8_t fields = changedFields(i, *AsProperty(records[i])))
        add(DifferenceKind::kChanged, int32_t(i), int32_t(i), fields, records[i]);
    }
  }
  for (size_t k = 0; k < added.size(); ++k)
    add(DifferenceKind::kAdded, -1, int32_t(n + k), 0, added[k].property.get());

  // By record path, then kind; records of one path in tree order, the first side's first.
  std::vector<std::string> keys(list.size());
  for (size_t k = 0; k < list.size(); ++k) keys[k] = r.PathOf(list[k]);
  std::vector<uint32_t> order(list.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = uint32_t(k);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    if (int c = keys[x].compare(keys[y])) return c < 0;
    return list[x].kind < list[y].kind;
  });
  r.differences.reserve(list.size());
  for (uint32_t k : order) r.differences.push_back(std::move(list[k]));
  return out;
}

TableCellRefusal EditTableCells(CTarnelDoc& doc, const std::vector<TableCellEdit>& edits,
                                bool* changed) {
  if (changed) *changed = false;
  auto find = [&doc](std::string_view path, bool* twice) {
    int count = 0;
    CRecord* r = FindRecordByPath(doc, path, &count);
    *twice = count > 1;
    return count == 1 ? r : nullptr;
  };
  std::vector<RowPlan> plans;
  std::unordered_map<uint32_t, size_t> planOf;  // property identifier: its plan
  std::vector<int> firstEdit;                   // per plan: its first edit, for FinishRow
  for (size_t i = 0; i < edits.size(); ++i) {
    const TableCellEdit& e = edits[i];
    CPropertyItem* p = AsProperty(doc.LookupRecord(e.id));
    if (!p) return {int(i), TableRowProblem::kUnknownId};
    auto [it, fresh] = planOf.emplace(e.id, plans.size());
    if (fresh) {
      plans.emplace_back();
      plans.back().property = p;
      firstEdit.push_back(int(i));
    }
    TableRowProblem problem{};
    if (!ReadCell(doc, find, plans[it->second], e.column, e.text, &problem))
      return {int(i), problem};
  }
  for (size_t k = 0; k < plans.size(); ++k) {
    TableRowProblem problem{};
    if (!FinishRow(doc, plans[k], &problem)) return {firstEdit[k], problem};
  }
  TableApplyResult result;
  for (const RowPlan& row : plans) ApplyRow(doc, row, &result);
  if (changed) *changed = result.changed > 0;
  return {};
}
