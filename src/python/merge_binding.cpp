// kandrel.merge: the three-way merge of bases, its conflicts, and settling them.
#include <memory>
#include <string>
#include <vector>

#include "bindings.h"
#include "errors.h"
#include "model/base_merge.h"
#include "text.h"

namespace py = pybind11;

namespace kpy {

namespace {

// One conflict of a merge, able to settle itself in the merged document.
class Conflict {
 public:
  Conflict(DocumentPtr doc, MergeConflict conflict)
      : doc_(std::move(doc)), c_(std::move(conflict)) {}

  uint32_t id() const { return c_.id; }
  py::str path() const { return ToPython(c_.path); }
  const std::string& field() const { return c_.field; }
  py::str base() const { return ToPython(c_.base); }
  py::str ours() const { return ToPython(c_.ours); }
  py::str theirs() const { return ToPython(c_.theirs); }
  py::object record() const {
    doc_->WaitIdle();
    CRecord* r = doc_->doc().LookupRecord(c_.id);
    return r && r->id == c_.id ? RecordObject(doc_, r) : py::object(py::none());
  }

  bool Take(const std::string& side) {
    if (side != "ours" && side != "theirs") throw py::value_error("side is \"ours\" or \"theirs\"");
    EditStep step(*doc_);
    return TakeConflictSide(doc_->doc(), c_,
                            side == "ours" ? MergeSide::kOurs : MergeSide::kTheirs);
  }

  std::string Repr() const {
    return "<kandrel.Conflict " + c_.field + " " + py::repr(path()).cast<std::string>() + ">";
  }

 private:
  DocumentPtr doc_;
  MergeConflict c_;
};

struct Merge {
  DocumentPtr document;
  py::list conflicts;
  py::list renumbered;
};

Merge MergeBases(const py::object& base, const py::object& ours, const py::object& theirs) {
  DocumentPtr b = AsDocument(base), o = AsDocument(ours), t = AsDocument(theirs);
  auto out = std::make_shared<DocumentHandle>();
  MergeResult result;
  {
    LongCall call({b.get(), o.get(), t.get()});
    py::gil_scoped_release unlocked;
    result = MergeDocuments(b->doc(), o->doc(), t->doc(), out->doc());
  }
  Merge m{out, py::list(), py::list()};
  for (MergeConflict& c : result.conflicts) m.conflicts.append(Conflict(out, std::move(c)));
  for (const MergeRenumbering& n : result.renumbered)
    m.renumbered.append(py::make_tuple(n.from, n.to));
  return m;
}

}  // namespace

void RegisterMerge(py::module_& m) {
  py::class_<Conflict>(m, "Conflict", R"doc(
A place where both sides of a merge changed the same thing differently. The merged document
keeps OURS' side (or keeps a record one side deleted and the other changed); take() settles it
either way.

`field` is "name", "type", "flags", "eoc", "value", "raw", "link", "parent", "place" or
"record"; `base`, `ours` and `theirs` show that field on each side as the differences do (for
"parent" and "place" the path of the parent or of the preceding sibling; for "record"
"present", "deleted" or "changed").
)doc")
      .def_property_readonly("id", &Conflict::id, "The record's identifier in the merged document.")
      .def_property_readonly("path", &Conflict::path, "The record's path in the merged document.")
      .def_property_readonly("field", &Conflict::field, "What the sides disagree on.")
      .def_property_readonly("base", &Conflict::base, "The field in the common base.")
      .def_property_readonly("ours", &Conflict::ours, "The field on OURS' side.")
      .def_property_readonly("theirs", &Conflict::theirs, "The field on THEIRS' side.")
      .def_property_readonly("record", &Conflict::record,
                             "The record in the merged document, or None when it is gone.")
      .def("take", &Conflict::Take, py::arg("side"),
           "Settles the conflict by taking \"ours\" or \"theirs\" in the merged document (one "
           "undo step there). False when nothing changed.")
      .def("__repr__", &Conflict::Repr);

  py::class_<Merge>(m, "MergeResult", "What kandrel.merge made.")
      .def_readonly("document", &Merge::document, "The merged Document.")
      .def_readonly("conflicts", &Merge::conflicts,
                    "The Conflicts, sorted by path, then field; empty for a clean merge.")
      .def_readonly("renumbered", &Merge::renumbered,
                    "(theirs_id, merged_id) for each record THEIRS added under an identifier "
                    "OURS already used.")
      .def_property_readonly(
          "clean", [](const Merge& m) { return m.conflicts.empty(); },
          "True when the merge found no conflict.");

  m.def("merge", &MergeBases, py::arg("base"), py::arg("ours"), py::arg("theirs"), R"doc(
Merges two bases that descend from `base` (Documents, or paths of .kdl files), record by
record by identifier, as `kandrel-cli merge` does: each field takes the side that changed it;
where both changed it differently OURS' side stays and a Conflict is reported.

    result = kandrel.merge("base.kdl", "ours.kdl", "theirs.kdl")
    for c in result.conflicts:
        c.take("theirs")
    result.document.save("merged.kdl")
)doc");
}

}  // namespace kpy
