// Comparing two bases: which records only one of them holds, which records both hold with other
// fields, and which sit elsewhere in the tree.
//
// The comparison walks both documents once and keeps only index arrays over their records in
// tree order, with each record's name (a full picture of each, as the undo history takes them,
// costs more than opening the file). The own data of each record a difference names is copied
// once per side into the result, in the undo history's RecordData form, so the result stays
// readable, and can still be taken over, while the documents change or after the second one is
// gone; a difference is a few numbers that refer to it. Record paths are built from the names
// when asked for, never kept: a deep tree with long names would make them grow with the square
// of the file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "document_state.h"

class CRecord;
class CTarnelDoc;
class IProgress;

enum class DifferenceKind : uint8_t {
  kRemoved,  // only in the first document
  kAdded,    // only in the second document
  kChanged,  // in both, with other fields
  kMoved,    // in both, under another parent or at another place among its siblings
};

// The fields a changed record differs in, as bits.
enum DifferenceField : uint8_t {
  kFieldName = 1 << 0,
  kFieldType = 1 << 1,  // an atom's type or a property's type code
  kFieldFlags = 1 << 2,
  kFieldEoc = 1 << 3,
  kFieldValue = 1 << 4,
  kFieldRaw = 1 << 5,   // the pattern, where the value text is the same
  kFieldLink = 1 << 6,  // the record a LINK_TO property points at, compared through the matching
};
inline constexpr int kDifferenceFieldCount = 7;
// "name", "type", "flags", "eoc", "value", "raw", "link" for the bit at `index`.
const char* DifferenceFieldName(int index);
// A field of one record's data as the differences show it (windows-1251 bytes): type names for
// properties, numbers for atoms, flags and patterns in decimal, "true"/"false", and for the link
// `linkText` (the target's path; empty for a property that is no link).
std::string DifferenceFieldText(const RecordData& d, int fieldIndex, const std::string& linkText);

// A record's own fields as a comparison keeps them: its RecordData without the name (the
// result's names hold it), the place in the tree and the incoming links.
struct CompareRecord {
  uint32_t id = 0;
  uint8_t kind = 0;  // RecordKind
  int8_t atomType = 0;
  uint8_t typeCode = 0;
  uint8_t flags = 0;
  bool eoc = false;
  uint32_t rawValue = 0;
  std::string valueText;

  CompareRecord() = default;
  explicit CompareRecord(const CRecord* record);
  // The fields of a RecordData (FieldsOf's), its name left to the result.
  CompareRecord(const RecordData& d);  // NOLINT(google-explicit-constructor)
};

struct CompareOptions {
  // By identifier: a base and the files saved from it keep identifiers. By record path: for
  // documents whose identifiers were drawn afresh (after an XML import, say); records then
  // only ever move among their siblings, and a renamed record is one removed and one added.
  bool byPath = false;
  // Leaves value and pattern differences out: a live server's values move all the time.
  bool ignoreValues = false;
};

struct Difference {
  DifferenceKind kind = DifferenceKind::kChanged;
  uint8_t fields = 0;          // changed: DifferenceField bits
  bool acrossParents = false;  // moved: under another parent, not only to another place
  int32_t first = -1;          // the record's index in the first document; -1 for an added one
  int32_t second = -1;         // in the second document; -1 for a removed one
  uint32_t firstId = 0;
  uint32_t secondId = 0;
  // The records' own data in the result's firstData / secondData tables; -1 for a side without
  // the record. A record that is changed and moved has one entry that both differences name.
  int32_t firstData = -1;
  int32_t secondData = -1;

  // The side whose path the list sorts by: the first document's for everything it holds.
  bool OnSecond() const { return first < 0; }
  int32_t Index() const { return first >= 0 ? first : second; }
};

// Records of each document are numbered in tree order: a group, then its branch, an atom's
// properties right after the atom.
struct CompareResult {
  CompareOptions options;
  // Sorted by Path(), then removed, added, changed, moved. A record that is changed and moved
  // has one entry of each kind.
  std::vector<Difference> differences;

  // What a take-over needs of the two trees, per record index.
  std::vector<uint32_t> firstIds, secondIds;
  std::vector<uint8_t> firstKinds, secondKinds;
  std::vector<int32_t> firstParents, secondParents;   // -1 for a group
  std::vector<int32_t> firstToSecond, secondToFirst;  // the counterpart, -1 for none
  // The record a LINK_TO property names in its own document, -1 for none (or no link).
  std::vector<int32_t> firstLinks, secondLinks;
  // Each record's name, for its path.
  std::vector<std::string> firstNames, secondNames;
  // The own fields of the records the differences name, once per record, on each side.
  std::vector<CompareRecord> firstData, secondData;

  // A difference's record's fields on one side; empty ones for a side without it.
  const CompareRecord& Fields(const Difference& d, bool second) const;
  // The same with the record's name, in the undo history's form (no place in the tree, no
  // incoming links).
  RecordData DataOf(const Difference& d, bool second) const;

  bool Equal() const { return differences.empty(); }

  // The record path of the record at `index` on one side, "/Group/Object/Atom/Property"; empty
  // for -1.
  std::string PathOf(bool second, int32_t index) const;
  // The same as AbbreviatedPath shows it, built from the end.
  std::string ShownPathOf(bool second, int32_t index) const;
  // The path the difference sorts by, whole or as shown.
  std::string PathOf(const Difference& d) const { return PathOf(d.OnSecond(), d.Index()); }
  std::string ShownPathOf(const Difference& d) const {
    return ShownPathOf(d.OnSecond(), d.Index());
  }
  // A field on one side as the differences show it (windows-1251 bytes): type names for
  // properties, numbers for atoms, flags and patterns in decimal, "true"/"false", the shown
  // path of a link's target or its value text when that names no record (empty for a property
  // that is no link).
  std::string FieldText(const Difference& d, bool second, int fieldIndex) const;

  // The identifier of the first document's record a difference shows at: its own, or for an
  // added record its nearest ancestor the first document holds (0: above every group).
  uint32_t NearestFirstId(const Difference& d) const;
  // The differences whose value the second document (a running server) should take from the
  // first: a property's pattern differs while both sides hold it with the same type, so the
  // server reads the pattern as the document means it. Indices into `differences`; the result
  // must have compared values.
  std::vector<size_t> ValuesToSend() const;
};

// The identifiers of each kind of difference, each list sorted: added (identifiers of the second
// document), removed, moved, and changed with the bits of the fields that differ. What
// `kandrel-cli diff --json` and the Python module's diff report.
struct DifferenceIds {
  std::vector<uint32_t> added, removed, moved;
  std::vector<std::pair<uint32_t, uint8_t>> changed;
};
DifferenceIds CollectDifferenceIds(const CompareResult& r);

// `progress` counts the records looked at; when it says stop, OperationCancelled is thrown
// (neither document is touched either way).
CompareResult CompareDocuments(const CTarnelDoc& first, const CTarnelDoc& second,
                               const CompareOptions& options = {}, IProgress* progress = nullptr);
// The first document with each of the two others, walking the first once (what a three-way
// merge needs of its base).
std::pair<CompareResult, CompareResult> CompareDocuments(const CTarnelDoc& first,
                                                         const CTarnelDoc& second,
                                                         const CTarnelDoc& third,
                                                         const CompareOptions& options = {});
