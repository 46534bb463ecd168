// Finding records in a document: by name, by path or by identifier, and the LINK_TO
// properties that point into a branch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CRecord;
class CTarnelDoc;

// Lower case of a windows-1251 byte: Latin, Russian (Ё included) and the other Cyrillic
// letters of the code page.
char FoldCp1251(char c);
std::string FoldCp1251(std::string_view text);

enum class FindMode {
  kName,  // the record's name contains the text, case ignored
  kPath,  // the record's path ("/Group/Object/Atom/Property") contains the text, case ignored
  kId,    // the record's identifier is the decimal number of the text
};

// The identifiers of the matching records in tree order: a group, then its branch, an atom's
// properties right after the atom. Nothing for an empty text (or, by identifier, for text that
// is not a number).
std::vector<uint32_t> FindRecords(const CTarnelDoc& doc, std::string_view text, FindMode mode);

struct LinkReference {
  uint32_t sourceId = 0;  // the LINK_TO property
  uint32_t targetId = 0;  // the property its value names
};

// Every LINK_TO property whose value names `branch` (a property) or a property inside it, in
// tree order. A link is read from its value, as the tree walk resolves it, not from the
// incoming lists, which only a rebuild makes complete.
std::vector<LinkReference> FindReferencesTo(const CTarnelDoc& doc, const CRecord* branch);
