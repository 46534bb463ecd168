#include "model/table_apply.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "model/bulk_property_edit.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/property_table.h"
#include "model/record_lookup.h"
#include "model/records.h"
#include "model/value_types.h"

namespace {

// Every record by its path, with how many records share the path. The paths lie end to end in
// one buffer, each written once from its parent's, so a base of 65,535 records costs one
// allocation for the text.
class PathIndex {
 public:
  explicit PathIndex(const CTarnelDoc& doc) {
    size_t bytes = 0, records = 0;
    for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i)
      Measure(doc.RecordAt(nullptr, i), 0, &bytes, &records);
    text_.reserve(bytes);
    map_.reserve(records);
    for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i) Add(doc.RecordAt(nullptr, i), 0, 0);
  }
  // The one record the path names; null for none, and `twice` when two share it.
  CRecord* Find(std::string_view path, bool* twice) const {
    auto it = map_.find(path);
    *twice = it != map_.end() && it->second.count > 1;
    return it == map_.end() || it->second.count > 1 ? nullptr : it->second.record;
  }

 private:
  struct Entry {
    CRecord* record = nullptr;
    int count = 0;
  };
  static void Measure(const CRecord* r, size_t above, size_t* bytes, size_t* records) {
    size_t length = above + 1 + r->name.size();
    *bytes += length;
    ++*records;
    ForEachChild(r, [&](const CRecord* c) { Measure(c, length, bytes, records); });
  }
  // `above` is where the parent's path starts in the buffer, `length` its size.
  void Add(CRecord* r, size_t above, size_t length) {
    size_t start = text_.size();
    text_.append(text_, above, length);
    text_ += '/';
    text_ += r->name;
    std::string_view path(text_.data() + start, text_.size() - start);
    Entry& e = map_[path];
    if (e.count++ == 0) e.record = r;
    ForEachChild(r, [&](CRecord* c) { Add(c, start, path.size()); });
  }
  std::string text_;  // reserved whole, so the views into it stay valid
  std::unordered_map<std::string_view, Entry> map_;
};

// What one usable row asks of its property.
struct RowPlan {
  int line = 0;
  CPropertyItem* property = nullptr;  // null: a new one
  CRecord* atom = nullptr;            // for a new one
  std::string name;                   // for a new one
  bool hasValue = false, hasType = false, hasFlags = false, hasEoc = false;
  std::string value;
  uint8_t type = 0;
  uint8_t flags = 0;
  bool eoc = false;
  const CRecord* link = nullptr;
  bool linkKept = false;  // the link cell names where the property links already
  bool hasName = false;   // a cell edit only: the file contract has no name
  std::string newName;
};

bool IsEmptyCell(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

using PathLookup = std::function<CRecord*(const std::string& path, bool* twice)>;

// Reads one cell of a row into its plan; false, with the problem, when it cannot be used. An
// empty type or end-of-chain cell leaves the field as it is; empty flags are no flags.
bool ReadCell(const CTarnelDoc& doc, const PathLookup& find, RowPlan& row, int column,
              std::string_view text, TableRowProblem* problem) {
  const CPropertyItem* p = row.property;
  switch (column) {
    case kColumnName:
      if (IsEmptyCell(text)) return *problem = TableRowProblem::kEmptyName, false;
      row.hasName = true;
      row.newName = std::string(text);
      return true;
    case kColumnType: {
      if (IsEmptyCell(text)) return true;
      int code = TypeNameToCode(Trim(text));
      // A type the form cannot name may stay as it is.
      if (code < 0 && !(p && Trim(text) == TypeCodeToName(p->typeCode)))
        return *problem = TableRowProblem::kBadType, false;
      row.hasType = code >= 0;
      row.type = uint8_t(code);
      return true;
    }
    case kColumnValue:
      row.hasValue = true;
      row.value = std::string(text);
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
      std::string path(text);
      bool twice = false;
      row.link = AsProperty(find(path, &twice));
      // A path two records share still serves when it is where the property links already.
      bool kept = !row.link && p && p->typeCode == kTypeLinkTo &&
                  TableCellText(doc, *p, kColumnLink) == path;
      if (!row.link && !kept) return *problem = TableRowProblem::kBadLink, false;
      row.linkKept = kept;
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
  std::string_view v = row.hasValue ? std::string_view(row.value)
                       : p          ? std::string_view(p->valueText)
                                    : std::string_view();
  // A link that named nothing before and is left as it was stays.
  bool unchanged = p && p->typeCode == kTypeLinkTo && v == p->valueText;
  if (!unchanged && !AsProperty(doc.LookupRecord(uint32_t(AtoI(v))))) {
    row.value = std::string(v);
    return *problem = TableRowProblem::kBadLink, false;
  }
  return true;
}

// The property the row ends up on (null when a new one could not be made).
CPropertyItem* ApplyRow(CTarnelDoc& doc, const RowPlan& row, TableApplyResult* result) {
  CPropertyItem* p = row.property;
  if (!p) {
    PropertyDraft draft;
    draft.name = row.name;
    EditResult made = AddProperty(doc, row.atom, draft);
    p = AsProperty(made.record);
    if (!p) return nullptr;
    ++result->added;
  }
  bool changed = false;
  if (row.hasName && row.newName != p->name) {
    RecordChange change(doc.events(), p);
    p->SetName(row.newName);
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
    if (newValue) edit.SetValue(row.value);
    if (newType) edit.SetType(row.type);
    if (newFlags)
      for (int bit = 0; bit < CBulkPropertyEdit::kFlagCount; ++bit)
        if (bool on = row.flags >> bit & 1; on != p->IsFlagSet(bit)) edit.SetFlag(bit, on);
    RecordChange change(doc.events(), p);
    changed |= edit.ApplyTo(doc.idMap, *p);
  }
  if (row.hasEoc) changed |= SetEndOfChain(doc, p, row.eoc);
  if (changed && row.property) ++result->changed;
  return p;
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

  TableApplyResult result;
  PathIndex paths(doc);
  auto find = [&paths](const std::string& path, bool* twice) { return paths.Find(path, twice); };
  std::vector<RowPlan> plans;
  std::unordered_map<uint32_t, int> seen;        // property identifier: line of its row
  std::unordered_map<std::string, int> seenNew;  // path of a new property: line of its row
  seen.reserve(size_t(table.RowCount()));
  plans.reserve(size_t(table.RowCount()));
  for (int r = 1; r < table.RowCount(); ++r) {
    RowPlan row;
    row.line = table.Line(r);
    auto refuse = [&](TableRowProblem problem, std::string_view detail) {
      result.refused.push_back({row.line, problem, std::string(detail)});
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
      if (!found) {
        refuse(TableRowProblem::kUnknownId, keyText);
        continue;
      }
    } else {
      found = paths.Find(keyText, &twice);
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
      auto [it, first] = seen.emplace(row.property->id, row.line);
      if (!first) {
        refuse(TableRowProblem::kDuplicate, std::to_string(it->second));
        continue;
      }
    } else {
      size_t slash = keyText.rfind('/');
      row.atom = slash == 0 || slash == keyText.npos ? nullptr
                                                     : paths.Find(keyText.substr(0, slash), &twice);
      if (twice) {
        refuse(TableRowProblem::kAmbiguousPath, keyText.substr(0, slash));
        continue;
      }
      row.name = std::string(keyText.substr(slash == keyText.npos ? 0 : slash + 1));
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
    plans.push_back(std::move(row));
  }

  // The properties a row names, refused rows included, stay when missing ones are deleted.
  std::unordered_set<uint32_t> named;
  if (options.deleteMissing)
    for (const auto& [id, line] : seen) named.insert(id);
  for (const RowPlan& row : plans)
    if (CPropertyItem* p = ApplyRow(doc, row, &result); p && options.deleteMissing)
      named.insert(p->id);

  if (options.deleteMissing) {
    const CRecord* scope = options.scopeId ? doc.LookupRecord(options.scopeId) : nullptr;
    if (options.scopeId == 0 || scope) {
      for (CPropertyItem* p : TableProperties(doc, scope))
        if (!named.count(p->id) && DeleteRecord(doc, p).changed) ++result.deleted;
    }
  }
  return result;
}

TableCellRefusal EditTableCells(CTarnelDoc& doc, const std::vector<TableCellEdit>& edits,
                                bool* changed) {
  if (changed) *changed = false;
  auto find = [&doc](const std::string& path, bool* twice) {
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
