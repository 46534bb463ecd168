// The configuration document: owns the groups and the identifier registry, creates, copies and
// removes records, keeps the structure tree view in step, and reads and writes .kdl files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "document_events.h"
#include "id_map.h"
#include "records.h"

class ArchiveReader;
class ArchiveWriter;
class IProgress;

// A .kdl file that could not be read or written; the message names the file and the cause.
class DocumentFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A save refused because the file at the target is read-only; the editor offers another name.
class ReadOnlyFileError : public DocumentFileError {
 public:
  using DocumentFileError::DocumentFileError;
};

class CDocumentRestore;

// The groups and last identifier that one .kdl file holds.
struct DocumentContents {
  std::vector<std::unique_ptr<CBase>> groups;
  uint16_t lastId = 0;
};

class CTarnelDoc {
 public:
  CTarnelDoc();
  ~CTarnelDoc();
  CTarnelDoc(const CTarnelDoc&) = delete;
  CTarnelDoc& operator=(const CTarnelDoc&) = delete;

  // Everything that changes the records is told here (see document_events.h).
  CDocumentEvents& events() { return events_; }

  // Creation. Each returns the new record, filled and appended to its parent's list, or null
  // when the parent may not hold it (CanHold), `fill` said no, or every identifier is taken;
  // then nothing changes and no identifier is used. The record joins its list complete, so
  // the insertion is all the observers hear.
  CBase* NewGroup(std::string name = std::string());
  CObj* NewObject(CRecord* parent, std::string name = std::string());
  CAtom* NewAtom(CRecord* parent, std::string name = std::string(), int8_t type = 0);
  // `fill` (the add-property dialog, a copy, an import) fills the property before it joins
  // the atom; false cancels.
  using PropertyFill = std::function<bool(CPropertyItem&)>;
  CPropertyItem* NewProperty(CRecord* parent, const PropertyFill& fill = PropertyFill());

  void CreateDefaultGroups();
  // A deep copy of an object, atom or property under `newParent` (appended), with fresh
  // identifiers. The copy is made aside and joins the list in one insertion, so a branch
  // pasted into itself is copied as it was. Null when `newParent` may not hold the record or
  // the identifiers run out; then nothing changes.
  CRecord* CopyInto(CRecord* record, CRecord* newParent);
  // Inserts a branch made aside at `row` of `parent`'s list (null: the groups; clamped to the
  // list). False, and the branch is destroyed, when the parent may not hold it.
  bool InsertRecord(CRecord* parent, int row, std::unique_ptr<CRecord> record);
  // Enters a record made aside (not yet in a list) in the registry under `wanted` when that
  // identifier is free, otherwise under a fresh one; it then joins a list through InsertRecord.
  // The identifier given, 0 when every one is taken (then nothing changes).
  uint16_t RegisterAside(CRecord* record, uint32_t wanted);
  // Gives a record of the document the identifier `id`, telling observers; false when another
  // record holds it.
  bool ChangeId(CRecord* record, uint32_t id);
  // Takes a record with its branch out of the document and destroys it. Properties of its atom
  // that took their decimal places from it forget it first. False when it is not in a list.
  bool RemoveRecord(CRecord* record);
  // Moves a record with its branch to position `row` of `newParent`'s list as it will be after
  // the move (clamped), keeping it and its identifiers. Refused (false) when the parent may not
  // hold it or lies in the record's own branch. True also when it already stood there.
  bool MoveRecord(CRecord* record, CRecord* newParent, int row);
  // Recomputes which "DecPoint" property each property of the atom takes its decimal places
  // from, as a rebuild does, telling the properties whose reference changes.
  void RefreshDecimalPoints(CRecord* atom);
  void RemoveGroup(CBase* group);
  void DeleteAllGroups();
  // Hands every group to the caller and leaves the document without groups (one reset).
  std::vector<std::unique_ptr<CBase>> TakeGroups();
  // Replaces every group with `groups` (a base download): the registry is emptied, its
  // counter kept, and the tree rebuilt. One reset.
  void ReplaceGroups(std::vector<std::unique_ptr<CBase>> groups);
  // The list a record stands in (null for a group) and its position there; -1 when it is in
  // none.
  static CRecord* ListOf(const CRecord* record) {
    return record && record->Kind() != kKindGroup ? record->parent : nullptr;
  }
  int RowOf(const CRecord* record) const;
  // The list of `parent`'s records (null: the groups), the one walk over every kind; null for
  // a property.
  const CRecordList* ListFor(const CRecord* parent) const;
  int RowCount(const CRecord* parent) const;
  CRecord* RecordAt(const CRecord* parent, int row) const;
  // The groups in order (read only: they change through the operations above).
  const CRecordListOf<CBase>& Groups() const { return groups_; }
  // The identifier registry (read only).
  const CIdMap& Ids() const { return idMap_; }
  CRecord* LookupRecord(uint32_t id) const { return idMap_.Lookup(id); }

  // Enters a record and everything below it into the identifier map and sets their parents
  // and "DecPoint" references.
  void RegisterSubtree(CRecord* record);
  // Registers every record again and resolves the links of the whole document; observers hear
  // of the records whose links or flags changed. RebuildTree does the same as a reset.
  void RelinkAll();
  void RebuildTree();

  // The archive layout of a document: the groups as an object array, then lastId.
  void Serialize(ArchiveWriter& ar);
  static DocumentContents ReadContents(ArchiveReader& ar);
  // Replaces the groups and lastId (clearing everything first) and rebuilds the tree.
  void TakeContents(DocumentContents contents);

  bool OnNewDocument();
  void DeleteContents();

  // Opens a .kdl file into a fresh set of records; the document changes only when the whole
  // file was read. Throws DocumentFileError. `progress` hears of the bytes read and decoded;
  // when it says stop, OperationCancelled is thrown and the document is as it was.
  void OpenFile(const std::string& path, IProgress* progress = nullptr);
  // The same for the bytes of a .kdl file already in memory; errors name `name`.
  void OpenBytes(std::string_view bytes, const std::string& name, IProgress* progress = nullptr);
  // Writes to a temporary file beside `path` and renames it over `path` once everything is
  // flushed (see WriteFileAtomically). Throws DocumentFileError; the previous file stays as
  // it was. A save is never stopped half way: `progress` only hears how far it has come.
  void SaveFile(const std::string& path, IProgress* progress = nullptr);
  // The bytes a save writes; `progress` counts the records.
  std::string SaveToBytes(IProgress* progress = nullptr);

 private:
  friend class CDocumentRestore;
  CRecordList* EditableList(const CRecord* parent);
  // Records the LINK_TO properties of the branch at their targets, and clears option 0 of the
  // properties under the group "Hardware".
  void ResolveLinks(CRecord* record, bool inHardware);
  CRecord* Attach(CRecord* parent, std::unique_ptr<CRecord> record);
  std::unique_ptr<CRecord> CopyAside(const CRecord* record, int parentKind);
  std::unique_ptr<CRecord> Detach(CRecord* record);
  void Clear();

  CDocumentEvents events_;
  CIdMap idMap_;
  CRecordListOf<CBase> groups_{nullptr};
};

// Whole-document steps that put records back as they were stored (undo and redo of recorded
// changes, taking over another base): they fill lists and the registry without telling anyone,
// inside a reset or with events of their own. Nothing else changes a document's lists but its
// operations.
class CDocumentRestore {
 public:
  explicit CDocumentRestore(CTarnelDoc& doc) : doc_(doc) {}
  CRecordList& ListFor(const CRecord* parent) const { return *doc_.EditableList(parent); }
  CIdMap& Ids() const { return doc_.idMap_; }
  void Clear() const { doc_.Clear(); }

 private:
  CTarnelDoc& doc_;
};

// Which kind of record may hold which: groups stand at the top level (parent kind 0), objects
// in groups and objects, atoms in objects, properties in atoms. The one answer every editor
// command, the paste, the drop and the import ask.
bool CanHold(int parentKind, int childKind);
inline bool CanHold(const CRecord* parent, const CRecord* child) {
  return child && CanHold(GetKind(parent), child->Kind());
}

// Reads a whole regular file into memory, to its end. Anything else (a folder, a FIFO, a
// device) is refused before a byte is read. Throws DocumentFileError naming the file.
// `progress` hears of the bytes read against the size the file reports; when it says stop,
// OperationCancelled is thrown.
std::string ReadFileBytes(const std::string& path, IProgress* progress = nullptr);
// Replaces the file at `path` (at the file a symlink there names) by `bytes` in one step,
// keeping its owner and permissions; a temporary file of an earlier save that was killed goes.
// Throws DocumentFileError, ReadOnlyFileError for a read-only target; nothing at the target
// changes then. `progress` hears of the bytes written; when it says stop, the temporary file
// goes, nothing at the target changes and OperationCancelled is thrown.
void WriteFileAtomically(const std::string& path, const std::string& bytes,
                         IProgress* progress = nullptr);
// How the names of the temporary files of a save to a file named `fileName` begin (they lie
// in the same folder); the same for every save of that name, whatever its length.
std::string TemporaryNamePrefix(const std::string& fileName);
