// The configuration document: owns the groups and the identifier registry, creates, copies and
// removes records, keeps the structure tree view in step, and reads and writes .kdl files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "id_map.h"
#include "records.h"
#include "tree_view.h"

class ArchiveReader;
class ArchiveWriter;

// A .kdl file that could not be read or written; the message names the file and the cause.
class DocumentFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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

  // Creation. Each returns the new record, or null when the parent has the wrong kind, the
  // add-property dialog was cancelled, or every identifier is taken; then nothing changes and
  // no identifier is used. None of them touches the tree view.
  CBase* NewGroup();
  CObj* NewObject(CRecord* parent);
  CAtom* NewAtom(CRecord* parent);
  CPropertyItem* NewProperty(CRecord* parent, bool ask);

  void CreateDefaultGroups();
  // A deep copy of an object, atom or property under `newParent`, with fresh identifiers.
  // Null when a creation fails; a partial copy is then removed again.
  CRecord* CopyInto(CRecord* record, CRecord* newParent);
  void RemoveGroup(CBase* group);
  void DeleteAllGroups();
  CRecord* LookupRecord(uint32_t id) const { return idMap.Lookup(id); }

  void RegisterSubtree(CRecord* record, TreeItemHandle parentItem);
  void ShowSubtree(CRecord* record, TreeItemHandle parentItem);
  void ResolveLinks(CRecord* record);
  void RebuildTree();

  // The archive layout of a document: the groups as an object array, then lastId.
  void Serialize(ArchiveWriter& ar);
  static DocumentContents ReadContents(ArchiveReader& ar);
  // Replaces the groups and lastId (clearing everything first) and rebuilds the tree.
  void TakeContents(DocumentContents contents);

  bool OnNewDocument();
  void DeleteContents();

  // Opens a .kdl file into a fresh set of records; the document changes only when the whole
  // file was read. Throws DocumentFileError.
  void OpenFile(const std::string& path);
  // Writes to a temporary file beside `path` and renames it over `path` once everything is
  // flushed. Throws DocumentFileError; the previous file stays as it was.
  void SaveFile(const std::string& path);
  // The bytes a save writes.
  std::string SaveToBytes();

  CIdMap idMap;
  ITreeView* treeView = nullptr;
  std::vector<CRecord*> importStack;  // working list of the text import
  bool groupMark = false;             // during ResolveLinks: inside the group "Hardware"
  std::vector<std::unique_ptr<CBase>> groups;
  // Runs the add-property dialog on a new property; true for OK. Unset: the ask option
  // behaves as if the dialog was confirmed.
  std::function<bool(CPropertyItem&)> addPropertyDialog;

 private:
  template <class T>
  T* Attach(CRecord* parent, std::unique_ptr<T> record);
  CRecord* CopyRecord(CRecord* record, CRecord* newParent,
                      std::unordered_set<const CRecord*>& made);
};

// Reads a whole file into memory. Throws DocumentFileError naming the file.
std::string ReadFileBytes(const std::string& path);
// Writes through a temporary file in the same folder and renames it over `path`.
void WriteFileAtomically(const std::string& path, const std::string& bytes);
