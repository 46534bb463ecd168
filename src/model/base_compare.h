// Comparing two bases: which records only one of them holds, which records both hold with other
// fields, and which sit elsewhere in the tree. The comparison works on pictures of the two
// documents (the ones the undo history takes), so its result stays valid to read while either
// document goes on changing, and the take-over can rebuild records from the second side alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document_state.h"

class CTarnelDoc;

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
  int32_t first = -1;          // the record in the first picture; -1 for an added one
  int32_t second = -1;         // the record in the second picture; -1 for a removed one
  uint32_t firstId = 0;
  uint32_t secondId = 0;
  std::string firstPath;  // "/Group/Object/Atom/Property" in the first document; empty if none
  std::string secondPath;

  // The path lists sort by: the first document's for everything it holds.
  const std::string& Path() const { return first >= 0 ? firstPath : secondPath; }
};

struct CompareResult {
  DocumentState first;
  DocumentState second;
  CompareOptions options;
  // Record index in one picture to its counterpart in the other, -1 for none.
  std::vector<int32_t> firstToSecond;
  std::vector<int32_t> secondToFirst;
  // Sorted by Path(), then removed, added, changed, moved. A record that is changed and moved
  // has one entry of each kind.
  std::vector<Difference> differences;

  bool Equal() const { return differences.empty(); }
  // The record a LINK_TO property of one picture points at (its index in the same picture), or
  // -1 when the property is no link or its value names no record of that document.
  int32_t LinkTarget(bool second, int32_t index) const;
  // A field of the record on one side as the differences show it (windows-1251 bytes): type
  // names for properties, numbers for atoms, flags and patterns in decimal, "true"/"false",
  // the target's record path for a link (its value text when it names nothing; empty for a
  // property that is no link).
  std::string FieldText(bool second, int32_t index, int fieldIndex) const;
  std::string RecordPath(bool second, int32_t index) const;

  // Index from a registry key to the registered record, per picture.
  std::vector<int32_t> firstByKey;
  std::vector<int32_t> secondByKey;
};

CompareResult CompareDocuments(const CTarnelDoc& first, const CTarnelDoc& second,
                               const CompareOptions& options = {});
// The same over pictures already taken (they are moved into the result).
CompareResult ComparePictures(DocumentState first, DocumentState second,
                              const CompareOptions& options = {});
