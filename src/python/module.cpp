// The `kandrel` Python module: read, generate and change configuration bases from scripts,
// offline and against a running server, through the same model API as the editor.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "errors.h"

namespace py = pybind11;

PYBIND11_MODULE(kandrel, m) {
  m.doc() = R"doc(
Kandrel configuration bases from Python.

    import kandrel
    doc = kandrel.open("plant.kdl")          # or kandrel.Document(), kandrel.fetch(host, port)
    atom = doc.find("/Hardware/Cabinet 1/AI 1")
    atom.add_property("Limit", "SHORT", 100)
    with doc.edit("Rename"):                  # one undo step
        for rec in doc.walk(atom):
            rec.name = rec.name.upper()
    doc.save("plant.kdl")

Edits go through the same functions as the editor's, with its rules and its undo. Failures
raise kandrel.Error subclasses: FileError, EditError, NetworkError, DeletedRecordError.
)doc";
  kpy::RegisterErrors(m);
  kpy::RegisterRecord(m);
  kpy::RegisterDocument(m);
  kpy::RegisterCompare(m);
  kpy::RegisterNetwork(m);
  kpy::RegisterMerge(m);
}
