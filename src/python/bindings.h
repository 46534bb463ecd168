// The parts of the module, each registering its classes and functions.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "document_handle.h"

namespace kpy {

void RegisterRecord(pybind11::module_& m);
void RegisterDocument(pybind11::module_& m);
void RegisterCompare(pybind11::module_& m);
void RegisterNetwork(pybind11::module_& m);
void RegisterMerge(pybind11::module_& m);

// A Document argument, or the path of a .kdl file opened for it.
DocumentPtr AsDocument(const pybind11::object& arg);

// The handle of a record, or None for null.
pybind11::object RecordObject(const DocumentPtr& doc, CRecord* record);

// One step of the edit history around an edit made by a script: every change between the
// making and the end of the scope is one undo step, or part of the open `with doc.edit()`
// block. Edits check their arguments before they change anything, so a refusal leaves
// nothing to take back; an import that fails half way calls Cancel, and what it made goes
// again unless a block is open (the block's owner decides then).
class EditStep {
 public:
  explicit EditStep(DocumentHandle& doc);
  ~EditStep();
  EditStep(const EditStep&) = delete;
  EditStep& operator=(const EditStep&) = delete;
  void Cancel() { cancel_ = outermost_; }

 private:
  DocumentHandle& doc_;
  bool outermost_ = false;
  bool cancel_ = false;
};

}  // namespace kpy
