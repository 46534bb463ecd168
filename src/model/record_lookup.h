// Finding records: by path, the target of a link, how deep a record lies, and the properties of
// a branch. Every part of the program that needs one of these asks here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CIdMap;
class CRecord;
class CPropertyItem;
class CTarnelDoc;

// How deep a record lies: a group at depth 1, as the document file counts; 0 for null.
int DepthOf(const CRecord* record);

// The property a LINK_TO property points at; null for another type, a missing target or a
// target that is no property.
CPropertyItem* LinkTargetOf(const CIdMap& ids, const CPropertyItem* property);
CPropertyItem* LinkTargetOf(const CTarnelDoc& doc, const CPropertyItem* property);

// The object whose links a "Links" property describes: the one that holds the property's atom
// (two levels above the property). Null when there is none.
CRecord* LinksObjectOf(const CRecord* property);

// The file a "Links" property's text names, as a path below the program's folder with "/"
// between its parts ("\\" is read as "/"). Empty when the text would lead out of that folder:
// an absolute path, a drive or a resource (":"), a ".." part, a NUL, or no name at all.
std::string LinkTemplateName(std::string_view text);

// The properties of the branch in tree order (the record itself when it is one).
void CollectProperties(const CRecord* branch, std::vector<CPropertyItem*>* out);

// The record whose GetRecordPath is exactly `path` ("/Group/Object/Atom/Property"), the first
// in tree order when several share it; null when none does. Names may hold any byte, "/"
// included: every way of reading the path is tried.
CRecord* FindRecordByPath(const CTarnelDoc& doc, std::string_view path);
// Every record with that path, in tree order.
std::vector<CRecord*> FindRecordsByPath(const CTarnelDoc& doc, std::string_view path);
// The first of them, with how many there are in `count`.
CRecord* FindRecordByPath(const CTarnelDoc& doc, std::string_view path, int* count);

// The first property with that path, for a property watched or kept by its path.
CPropertyItem* FindPropertyByPath(const CTarnelDoc& doc, std::string_view path);

// A property kept by its identifier and path (a watch list's entry) found again once the
// document has new contents: the property under the identifier while it stands at that path;
// otherwise the first property at the path, unless `taken` says another entry keeps that one;
// failing that, with `followRename`, the property still under the identifier (renamed
// meanwhile). Null when none of these is there.
const CPropertyItem* FindKeptProperty(const CTarnelDoc& doc, uint32_t id, std::string_view path,
                                      const std::function<bool(uint32_t)>& taken,
                                      bool followRename);

// The record that the structure tree's item found by this path stands for, by the tree's
// rules: labels compared exactly, the first match at each level and no backtracking, and a
// path that runs past a record without children ends at that record. `start` null begins
// at the tree's "Root" item, which has the groups as children; null when nothing is found.
// The links of an imported file and the jumps of the form's link list follow these rules.
CRecord* FindRecordByTreePath(const CTarnelDoc& doc, std::string_view path, CRecord* start,
                              size_t position);
