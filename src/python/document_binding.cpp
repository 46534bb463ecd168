// kandrel.Document: a base in memory, opened from a file, made new or fetched from a server.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bindings.h"
#include "errors.h"
#include "model/cp1251.h"
#include "model/document_edits.h"
#include "model/property_table.h"
#include "model/record_lookup.h"
#include "text.h"
#include "xml/c2ko_import.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"

namespace py = pybind11;

namespace kpy {

namespace {

DocumentPtr NewDocument() {
  auto h = std::make_shared<DocumentHandle>();
  h->doc().OnNewDocument();
  h->doc().RebuildTree();
  return h;
}

DocumentPtr Open(const std::filesystem::path& file) {
  std::string path = file.string();
  auto h = std::make_shared<DocumentHandle>();
  std::string error;
  {
    py::gil_scoped_release unlocked;
    try {
      h->doc().OpenFile(path);
    } catch (const DocumentFileError& e) {
      error = e.what();
    }
  }
  if (!error.empty()) ThrowFileError(error, path);
  h->path = path;
  return h;
}

void Save(DocumentHandle& h, const std::optional<std::filesystem::path>& path) {
  std::string target = path ? path->string() : h.path;
  if (target.empty())
    throw ScriptError(ErrorClass::kFile, "the document has no file yet; give save() a path", {},
                      "no file name");
  std::string error;
  {
    LongCall call({&h});
    py::gil_scoped_release unlocked;
    try {
      h.doc().SaveFile(target);
    } catch (const DocumentFileError& e) {
      error = e.what();
    }
  }
  if (!error.empty()) ThrowFileError(error, target);
  h.path = target;
}

// Every record in tree order; a record deleted while the walk goes on is passed over.
class Walk {
 public:
  Walk(DocumentPtr doc, const CRecord* from) : doc_(std::move(doc)) {
    doc_->WaitIdle();
    if (from)
      Collect(from);
    else
      for (int i = 0, n = doc_->doc().RowCount(nullptr); i < n; ++i)
        Collect(doc_->doc().RecordAt(nullptr, i));
    generation_ = doc_->generation();
  }

  py::object Next() {
    doc_->WaitIdle();
    while (next_ < records_.size()) {
      auto [record, id] = records_[next_++];
      if (generation_ == doc_->generation()) return py::cast(RecordRef(doc_, record));
      // Records may have gone since the walk began: only those still there are handed out.
      CRecord* now = doc_->doc().LookupRecord(id);
      if (now && now->id == id) return py::cast(RecordRef(doc_, now));
    }
    throw py::stop_iteration();
  }

 private:
  void Collect(const CRecord* r) {
    records_.emplace_back(const_cast<CRecord*>(r), r->id);
    ForEachChild(r, [&](const CRecord* c) { Collect(c); });
  }

  DocumentPtr doc_;
  std::vector<std::pair<CRecord*, uint32_t>> records_;
  size_t next_ = 0;
  uint64_t generation_ = 0;
};

CRecord* RecordArgument(DocumentHandle& h, const py::object& record, const char* what) {
  if (record.is_none()) return nullptr;
  if (!py::isinstance<RecordRef>(record)) throw py::type_error(std::string(what) + " is a Record");
  const RecordRef& ref = record.cast<const RecordRef&>();
  if (ref.document().get() != &h)
    ThrowEditError(EditRefusal::kNoRecord,
                   std::string(what) + ": the record is in another document");
  return ref.Get();
}

void ExportXml(DocumentHandle& h, const std::filesystem::path& file, const py::object& record) {
  std::string path = file.string();
  CRecord* r = RecordArgument(h, record, "record");
  std::string error;
  {
    LongCall call({&h});
    py::gil_scoped_release unlocked;
    CExportFile file(h.doc(), r, path);
    if (!file.Export()) error = file.GetError();
  }
  if (!error.empty()) ThrowFileError(error, path);
}

py::dict ImportXml(DocumentHandle& h, const std::filesystem::path& file, const py::object& target) {
  std::string path = file.string();
  CRecord* t = RecordArgument(h, target, "target");
  CImportParser parser;
  bool loaded = false;
  {
    py::gil_scoped_release unlocked;
    loaded = parser.Load(path);
  }
  if (!loaded) ThrowFileError(parser.GetErrorText() + ": " + parser.GetErrorDetail(), path);
  auto selection = FillImportTree(parser, t);
  ImportOutcome outcome;
  {
    EditStep step(h);
    outcome = ApplyImport(h.doc(), *selection, t);
    if (outcome.merge.notCopied > 0) step.Cancel();
  }
  if (outcome.merge.notCopied > 0)
    ThrowFileError(path + ": " + std::to_string(outcome.merge.notCopied) +
                       " records could not be copied: the document has no identifier left for "
                       "them or they would lie too deep",
                   path);
  py::dict report;
  report["copied"] = outcome.merge.copied;
  report["altered_texts"] = parser.GetAlteredTextCount();
  report["skipped_elements"] = parser.GetSkippedElementCount();
  report["links_resolved"] = outcome.links.resolved;
  report["links_made_binary"] = outcome.links.madeBinary;
  return report;
}

py::dict ImportC2ko(DocumentHandle& h, const std::filesystem::path& file,
                    const py::object& target) {
  std::string path = file.string();
  CRecord* t = RecordArgument(h, target, "target");
  if (!AsChildHolder(t))
    ThrowEditError(EditRefusal::kWrongKind, "a c2ko file is imported under a group or an object");
  C2koImportStats stats;
  std::string error;
  {
    EditStep step(h);
    try {
      stats = ImportC2koFile(h.doc(), path, t);
    } catch (const C2koImportError& e) {
      if (e.fileNotFound) {
        char text[4096];
        std::snprintf(text, sizeof text, kFileNotFoundFormat, path.c_str());
        error = text;
      } else {
        error = std::string(kDataImportErrorText) + ": " + path + ": " + e.what();
      }
      step.Cancel();
    }
  }
  if (!error.empty()) ThrowFileError(error, path);
  py::dict report;
  report["objects"] = stats.objects;
  report["atoms"] = stats.atoms;
  report["properties"] = stats.properties;
  return report;
}

// The property table's rows, one dict per property with the table file's columns: the
// identifier a number, every other cell the text the file holds.
py::list Table(const DocumentPtr& h, const py::object& record) {
  CRecord* under = RecordArgument(*h, record, "record");
  py::list rows;
  std::string text;
  for (CPropertyItem* p : TableProperties(h->doc(), under)) {
    py::dict row;
    for (int column : kFileColumns) {
      if (column == kColumnId) {
        row["id"] = p->id;
        continue;
      }
      TableCellText(h->doc(), *p, column, &text);
      row[TableColumnKey(column)] = ToPython(text);
    }
    rows.append(std::move(row));
  }
  return rows;
}

py::list Groups(const DocumentPtr& h) {
  h->WaitIdle();
  py::list out;
  for (int i = 0, n = h->doc().RowCount(nullptr); i < n; ++i)
    out.append(RecordObject(h, h->doc().RecordAt(nullptr, i)));
  return out;
}

}  // namespace

EditStep::EditStep(DocumentHandle& doc) : doc_(doc) {
  doc_.WaitIdle();
  outermost_ = !doc_.history().InStep();
  doc_.history().BeginStep(doc_.doc());
}

EditStep::~EditStep() {
  doc_.history().EndStep(cancel_);
}

namespace {

// `with doc.edit(label):`. Blocks nest; the outermost one makes the undo step, and an
// exception leaving it takes back everything the block did.
class EditBlock {
 public:
  EditBlock(DocumentPtr doc, std::string label) : doc_(std::move(doc)), label_(std::move(label)) {}

  EditBlock& Enter() {
    if (entered_) throw py::value_error("an edit block is entered once");
    doc_->WaitIdle();
    outermost_ = !doc_->history().InStep();
    doc_->history().BeginStep(doc_->doc(), label_);
    entered_ = true;
    return *this;
  }

  bool Exit(const py::object& type, const py::object&, const py::object&) {
    if (!entered_) return false;
    entered_ = false;
    doc_->WaitIdle();
    doc_->history().EndStep(outermost_ && !type.is_none());
    return false;  // an exception goes on
  }

 private:
  DocumentPtr doc_;
  std::string label_;
  bool entered_ = false;
  bool outermost_ = false;
};

bool UndoOrRedo(DocumentHandle& h, bool undo) {
  h.WaitIdle();
  if (h.history().InStep())
    ThrowEditError("in-step", std::string(undo ? "undo" : "redo") +
                                  " inside a `with doc.edit()` block: the block's step is not "
                                  "finished yet");
  return undo ? h.history().Undo(h.doc()) : h.history().Redo(h.doc());
}

}  // namespace

void RegisterDocument(py::module_& m) {
  py::class_<Walk>(m, "_Walk", "An iterator over records in tree order.")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &Walk::Next);

  py::class_<EditBlock>(m, "EditBlock",
                        "The context manager of Document.edit(): the edits inside it are one "
                        "undo step.")
      .def("__enter__", &EditBlock::Enter, py::return_value_policy::reference_internal)
      .def("__exit__", &EditBlock::Exit);

  py::class_<DocumentHandle, DocumentPtr>(m, "Document", R"doc(
A configuration base: its groups, with objects, atoms and properties below them.

Document() is a new base holding the three default groups; kandrel.open(path) reads a .kdl
file; kandrel.fetch(host, port) downloads a server's base. Every change goes through the same
edit functions as the editor, with the same rules and the same undo.

    doc = kandrel.open("plant.kdl")
    for rec in doc.walk():
        if rec.kind == "property" and rec.name == "Limit":
            rec.value = 100
    doc.save()
)doc")
      .def(py::init(&NewDocument), "A new base with its three default groups.")
      .def_readonly("path", &DocumentHandle::path,
                    "The file the document was opened from or last saved to; \"\" for none.")
      .def_property_readonly(
          "last_id", [](DocumentHandle& h) { return int(h.doc().Ids().GetLastId()); },
          "The last identifier handed out.")
      .def("save", &Save, py::arg("path") = py::none(),
           "Writes the document to `path` (default: the file it came from), replacing the file "
           "in one step. Raises FileError naming the file and the cause.")
      .def_property_readonly("groups", &Groups, "The groups, in order.")
      .def(
          "walk",
          [](const DocumentPtr& h, const py::object& record) {
            return Walk(h, RecordArgument(*h, record, "record"));
          },
          py::arg("record") = py::none(),
          "Every record in tree order (a group, then its branch; an atom's properties right "
          "after it), or those of one record's branch. Records deleted during the walk are "
          "passed over.")
      .def(
          "find",
          [](const DocumentPtr& h, const std::string& path) {
            h->WaitIdle();
            std::string bytes;
            // A path windows-1251 cannot hold names no record.
            if (Utf8ToCp1251(path, &bytes) > 0) return py::object(py::none());
            return RecordObject(h, FindRecordByPath(h->doc(), bytes));
          },
          py::arg("path"),
          "The record at \"/Group/Object/.../Property\" (the first one in tree order when "
          "several share the path), or None.")
      .def(
          "record",
          [](const DocumentPtr& h, long id) {
            h->WaitIdle();
            CRecord* r =
                id > 0 && id <= 0xFFFFFFFFl ? h->doc().LookupRecord(uint32_t(id)) : nullptr;
            if (!r || r->id != uint32_t(id))
              throw py::key_error("no record has the identifier " + std::to_string(id));
            return RecordObject(h, r);
          },
          py::arg("id"), "The record with the identifier; KeyError when there is none.")
      .def(
          "__len__",
          [](const DocumentPtr& h) {
            h->WaitIdle();
            size_t n = 0;
            std::function<void(const CRecord*)> count = [&](const CRecord* r) {
              ++n;
              ForEachChild(r, count);
            };
            for (int i = 0, g = h->doc().RowCount(nullptr); i < g; ++i)
              count(h->doc().RecordAt(nullptr, i));
            return n;
          },
          "The number of records.")
      .def(
          "add_group",
          [](const DocumentPtr& h, const std::string& name) {
            std::string n = FromPython(name, "name");
            EditStep step(*h);
            EditResult r = AddGroup(h->doc(), std::move(n));
            if (!r.record)
              ThrowEditError(
                  r.refusal == EditRefusal::kDone ? EditRefusal::kDocumentFull : r.refusal,
                  "add_group");
            return RecordRef(h, r.record);
          },
          py::arg("name"), "Appends a new group and returns it.")
      .def("table", &Table, py::arg("record") = py::none(), R"doc(
The property table: one dict per property under `record` (the whole document when None), in
tree order, with the table file's columns `path id type value flags eoc link`. The identifier
is an int; the other cells are the texts `kandrel-cli table` writes: the type name, the value
text, the set flags as numbers separated by spaces ("1 3"), "0" or "1" for eoc, and a LINK_TO's
target path ("" for none). csv.DictWriter writes them as the table file.
)doc")
      .def(
          "edit",
          [](const DocumentPtr& h, const std::string& label) { return EditBlock(h, label); },
          py::arg("label") = "", R"doc(
Groups the edits made inside a `with` block into one undo step, named `label`:

    with doc.edit("Rename line 2"):
        for rec in doc.walk(line2):
            rec.name = rec.name.replace("L1-", "L2-")
    doc.undo()          # takes back every rename at once

Blocks nest; the outermost one makes the step. An exception that leaves the outermost block
takes back everything done inside it, then goes on.
)doc")
      .def(
          "undo", [](DocumentHandle& h) { return UndoOrRedo(h, true); },
          "Takes back the newest edit step (one assignment, add, delete, move, copy or import, or "
          "one `with doc.edit()` block). False when there is nothing to undo. The editor's "
          "history rules apply: at most 100 steps are kept.")
      .def(
          "redo", [](DocumentHandle& h) { return UndoOrRedo(h, false); },
          "Makes the newest undone step again. False when there is nothing to redo; a new edit "
          "forgets the undone steps.")
      .def_property_readonly(
          "can_undo", [](DocumentHandle& h) { return h.history().CanUndo(); },
          "True when there is a step to undo.")
      .def_property_readonly(
          "can_redo", [](DocumentHandle& h) { return h.history().CanRedo(); },
          "True when there is a step to redo.")
      .def_property_readonly(
          "undo_label", [](DocumentHandle& h) { return py::str(h.history().UndoLabel()); },
          "The label of the step undo() would take back (\"\" for a step without one).")
      .def("export_xml", &ExportXml, py::arg("path"), py::arg("record") = py::none(),
           "Writes the whole document, or one record's branch, as an XML interchange file.")
      .def("import_xml", &ImportXml, py::arg("path"), py::arg("target") = py::none(),
           "Merges an XML interchange file under `target` (None: new groups at the top level) "
           "as the import dialog does with its default choices, with fresh identifiers and "
           "link paths resolved. Returns counts: copied, altered_texts, skipped_elements, "
           "links_resolved, links_made_binary. One undo step.")
      .def("import_c2ko", &ImportC2ko, py::arg("path"), py::arg("target"),
           "Imports a c2ko text file under `target`, a group or an object. Returns the counts "
           "of objects, atoms and properties made. One undo step; a file that fails half way "
           "raises FileError naming the line, and what was made goes again (inside a "
           "`with doc.edit()` block it stays until the block ends).")
      .def("__repr__", [](const DocumentHandle& h) {
        return "<kandrel.Document " + (h.path.empty() ? std::string("(new)") : h.path) + ">";
      });

  m.def("open", &Open, py::arg("path"),
        "Reads a .kdl file into a new Document, as the editor opens it. Raises FileError "
        "naming the file and the cause.");
}

}  // namespace kpy
