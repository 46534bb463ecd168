// kandrel.diff: how one base differs from another, as `kandrel-cli diff --json` tells it.
#include <algorithm>
#include <string>
#include <vector>

#include "bindings.h"
#include "errors.h"
#include "model/base_compare.h"

namespace py = pybind11;

namespace kpy {

namespace {

py::list IdList(const std::vector<uint32_t>& ids) {
  py::list out;
  for (uint32_t id : ids) out.append(id);
  return out;
}

}  // namespace

DocumentPtr AsDocument(const py::object& arg) {
  if (py::isinstance<DocumentHandle>(arg)) return arg.cast<DocumentPtr>();
  if (py::isinstance<py::str>(arg) || py::hasattr(arg, "__fspath__"))
    return py::module_::import("kandrel").attr("open")(arg).cast<DocumentPtr>();
  throw py::type_error("expected a Document (or the path of a .kdl file)");
}

namespace {

py::dict Diff(const py::object& a, const py::object& b, const std::string& by, bool ignoreValues) {
  CompareOptions options;
  if (by != "id" && by != "path") throw py::value_error("by is \"id\" or \"path\"");
  options.byPath = by == "path";
  options.ignoreValues = ignoreValues;
  DocumentPtr first = AsDocument(a), second = AsDocument(b);
  CompareResult result;
  {
    LongCall call({first.get(), second.get()});
    py::gil_scoped_release unlocked;
    result = CompareDocuments(first->doc(), second->doc(), options);
  }
  DifferenceIds ids = CollectDifferenceIds(result);
  py::list changes;
  for (const auto& [id, bits] : ids.changed) {
    py::list fields;
    for (int f = 0; f < kDifferenceFieldCount; ++f)
      if (bits & (1 << f)) fields.append(DifferenceFieldName(f));
    py::dict entry;
    entry["id"] = id;
    entry["fields"] = fields;
    changes.append(entry);
  }
  py::dict out;
  out["added"] = IdList(ids.added);
  out["removed"] = IdList(ids.removed);
  out["changed"] = changes;
  out["moved"] = IdList(ids.moved);
  return out;
}

}  // namespace

void RegisterCompare(py::module_& m) {
  m.def("diff", &Diff, py::arg("a"), py::arg("b"), py::arg("by") = "id",
        py::arg("ignore_values") = false, R"doc(
How base `b` differs from base `a` (Documents, or paths of .kdl files).

Returns the dict `kandrel-cli diff --json` prints:
    {"added": [id...], "removed": [id...], "changed": [{"id": id, "fields": [name...]}...],
     "moved": [id...]}
Identifiers are those of `a`, of `b` for `added`; lists are sorted; field names come from
name, type, flags, eoc, value, raw, link. `by="path"` matches records by their paths instead
of their identifiers (for bases whose identifiers were drawn afresh); `ignore_values=True`
leaves values out, as a live server's values move all the time.
)doc");
}

}  // namespace kpy
