// The edits a user makes to a document, without any widget: add, delete with its link
// bookkeeping, paste, move, reorder, apply of either form, end of chain, link and unlink. The
// editor's commands and kandrel-cli call them; every change goes through the document's
// operations or is bracketed, so the observers hear all of it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CTarnelDoc;
class CRecord;
class CPropertyItem;
class CIdMap;

// Why an edit was refused; kDone when it was carried out (or had nothing to do).
enum class EditRefusal {
  kDone,
  kNoRecord,      // the record or the target is not in the document
  kWrongKind,     // the target may not hold a record of that kind
  kOwnBranch,     // the target lies in the record's own branch
  kTooDeep,       // the branch would lie deeper than a document file can hold
  kDocumentFull,  // every identifier is taken
};

struct EditResult {
  bool changed = false;
  EditRefusal refusal = EditRefusal::kDone;
  CRecord* record = nullptr;  // what an add or a paste made

  static EditResult Refused(EditRefusal why) { return {false, why, nullptr}; }
};

// True when `record` is `branch` or lies below it.
bool IsInBranch(const CRecord* record, const CRecord* branch);

// The new record, named, under `parent` (null for a group), appended to its list.
EditResult AddGroup(CTarnelDoc& doc, std::string name);
EditResult AddObject(CTarnelDoc& doc, CRecord* parent, std::string name);
EditResult AddAtom(CTarnelDoc& doc, CRecord* parent, std::string name, int8_t type);

struct PropertyDraft {
  std::string name;
  std::string valueText;
  uint8_t typeCode = 0;
  uint8_t flags = 0;
};
// A LINK_TO property that enters the document announces itself to its target at once.
EditResult AddProperty(CTarnelDoc& doc, CRecord* atom, const PropertyDraft& draft);

// Deletes the record with its branch. Properties outside the branch that link into it lose
// their LINK_TO type (they become BIN), and targets outside it forget the branch's links.
EditResult DeleteRecord(CTarnelDoc& doc, CRecord* record);

// A deep copy of `source` appended under `target` with fresh identifiers; the copy's LINK_TO
// properties are announced to their targets. The branch is copied as it was before the paste,
// also into itself.
EditResult PasteRecord(CTarnelDoc& doc, CRecord* source, CRecord* target);
// Whether PasteRecord would paste (the kinds fit): what enables the Paste command.
bool CanPaste(int sourceKind, int targetKind);

// A plain drop: the record with its branch becomes the last child of `target`. Nothing happens
// when dropped onto itself or onto the parent it has.
EditResult MoveUnder(CTarnelDoc& doc, CRecord* record, CRecord* target);
// Whether a Shift drop of `dragged` onto `target` is allowed by their kinds: onto its parent's
// kind or its own.
bool CanPlaceAfter(int draggedKind, int targetKind);
// A Shift drop: the record stays in its list and goes first when `target` is its parent, right
// after `target` when that is a sibling, and last otherwise.
EditResult PlaceAfter(CTarnelDoc& doc, CRecord* record, CRecord* target);

// A record's new name (windows-1251 bytes); an empty name, or the name it has, changes nothing.
EditResult RenameRecord(CTarnelDoc& doc, CRecord* record, std::string name);

// Whether the record can take one step (-1 up, +1 down) among its siblings. Groups keep their
// places, as they do in a drop.
bool MayStepAmongSiblings(const CRecord* record, int delta);
// The step itself; a property's "DecPoint" references are set again.
EditResult StepAmongSiblings(CTarnelDoc& doc, CRecord* record, int delta);

// The records of the identifiers, without those that lie inside another one's branch (they go
// with it), in the order given; identifiers without a record are left out. What a command on
// several selected records works on.
std::vector<CRecord*> OutermostRecords(const CTarnelDoc& doc, const std::vector<uint32_t>& ids);

// "Применить" on the form of a group, object or atom.
EditResult ApplyRecordEdit(CTarnelDoc& doc, CRecord* record, std::string name, bool setType,
                           int8_t type);

// The end of the LINK_TO chain that starts at `p`: the first property on it whose type is not
// LINK_TO. Null when a target is missing, is not a property, or the walk comes back to a
// property already passed.
CPropertyItem* ResolveChain(const CIdMap& ids, CPropertyItem* p);

struct PropertyEdit {
  std::string name;
  bool eoc = false;
  std::string valueText;
  int typeIndex = -1;    // entry of the type list; -1 keeps the type
  uint8_t flagBits = 0;  // bits 0..5 as ticked
};

struct ApplyOutcome {
  bool linkError = false;  // the chain could not be resolved; the edit went to `p` itself
  bool typeKept = false;   // LINK_TO to an identifier without a record: type and flags kept
};

// "Применить" on a property's form: name and end-of-chain flag on `p`; value, type (with the
// incoming links of the old and the new target) and flags on the end of its chain when the
// flag is set, else on `p`.
ApplyOutcome ApplyPropertyEdit(CTarnelDoc& doc, CPropertyItem& p, const PropertyEdit& edit);
// The "EOC" check box. True when it changed.
bool SetEndOfChain(CTarnelDoc& doc, CPropertyItem* p, bool eoc);

// Makes the property a LINK_TO to the target: type 7, the target's identifier as value text;
// the old target forgets the property and a property target lists it. True when it changed.
bool SetLinkTarget(CTarnelDoc& doc, CPropertyItem* property, const CRecord* target);
// When `atom` is an atom with a property named exactly `name`, links `property` to it.
bool LinkToAtomProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name,
                        CPropertyItem* property);
// A LINK_TO property becomes a SHORT one; its target forgets it. True when it was a link.
bool UnlinkToShort(CTarnelDoc& doc, CPropertyItem* property);
// The links editor's ticked entries: each property (by identifier) to the picked atom's
// property of the given name. True when anything changed.
bool MakeLinks(CTarnelDoc& doc, CRecord* atom,
               const std::vector<std::pair<uint32_t, std::string>>& links);
// The links editor's unticked entries. True when anything changed.
bool Unlink(CTarnelDoc& doc, const std::vector<uint32_t>& ids);
