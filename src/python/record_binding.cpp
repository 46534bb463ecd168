// kandrel.Record: one group, object, atom or property of a document.
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "bindings.h"
#include "errors.h"
#include "model/document_edits.h"
#include "model/value_types.h"
#include "text.h"

namespace py = pybind11;

namespace kpy {

namespace {

CPropertyItem* PropertyOf(const RecordRef& ref, const char* what) {
  CPropertyItem* p = AsProperty(ref.Get());
  if (!p)
    ThrowEditError(EditRefusal::kWrongKind, std::string(what) +
                                                " belongs to properties; this is a " +
                                                RecordKindName(ref.Get()->Kind()));
  return p;
}

// The record a script passed, which must belong to the same document.
CRecord* Target(const RecordRef& self, const RecordRef& target, const char* what) {
  if (target.document() != self.document())
    ThrowEditError(EditRefusal::kNoRecord,
                   std::string(what) + ": the record is in another document");
  return target.Get();
}

// The form's fields of a property as "Применить" would take them unchanged: name and end of
// chain of the property, value, type and flags of the end of its chain when the flag is set.
PropertyEdit FormOf(CTarnelDoc& doc, CPropertyItem* p, CPropertyItem** end) {
  CPropertyItem* e = p;
  if (p->eoc) {
    e = ResolveChain(doc.Ids(), p);
    if (!e)
      ThrowEditError("link-target", GetRecordPath(p) +
                                        ": the end of its link chain cannot be found; clear "
                                        "`eoc` to edit the property itself");
  }
  *end = e;
  PropertyEdit edit;
  edit.name = p->name;
  edit.eoc = p->eoc;
  edit.valueText = e->valueText;
  edit.typeIndex = e->typeCode < kTypeCount ? e->typeCode : -1;
  edit.flagBits = uint8_t(e->flags & 0x3F);
  return edit;
}

// Applies the form's fields as the editor's "Применить" does, refusing a LINK_TO type whose
// value names no record (the form would keep the old type).
void ApplyForm(DocumentHandle& h, CPropertyItem* p, const PropertyEdit& edit, bool typeChanged) {
  CTarnelDoc& doc = h.doc();
  if (typeChanged && edit.typeIndex == kTypeLinkTo &&
      !doc.LookupRecord(uint32_t(AtoI(edit.valueText))))
    ThrowEditError("link-target", GetRecordPath(p) +
                                      ": a LINK_TO value names the identifier of "
                                      "its target; \"" +
                                      edit.valueText + "\" names no record");
  EditStep step(h);
  ApplyPropertyEdit(doc, *p, edit);
}

std::string TypeName(const CPropertyItem* p) {
  return TypeCodeToName(p->typeCode);
}

std::string ValueText(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value) ||
      !(py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)))
    throw py::type_error("a value is a str, an int or a float");
  return py::str(value).cast<std::string>();
}

py::object Parent(const RecordRef& self) {
  return RecordObject(self.document(), self.Get()->parent);
}

py::list Children(const RecordRef& self) {
  py::list out;
  ForEachChild(self.Get(), [&](const CRecord* c) {
    out.append(RecordObject(self.document(), const_cast<CRecord*>(c)));
  });
  return out;
}

void SetName(RecordRef& self, const std::string& text) {
  CRecord* r = self.Get();
  std::string name = FromPython(text, "name");
  DocumentHandle& h = *self.document();
  if (CPropertyItem* p = AsProperty(r)) {
    CPropertyItem* end = nullptr;
    PropertyEdit edit = FormOf(h.doc(), p, &end);
    edit.name = std::move(name);
    ApplyForm(h, p, edit, false);
    return;
  }
  EditStep step(h);
  ApplyRecordEdit(h.doc(), r, std::move(name), false, 0);
}

py::object GetType(const RecordRef& self) {
  CRecord* r = self.Get();
  if (CAtom* a = AsAtom(r)) return py::int_(int(a->type));
  if (CPropertyItem* p = AsProperty(r)) return py::str(TypeName(p));
  return py::none();
}

void SetType(RecordRef& self, const py::object& value) {
  CRecord* r = self.Get();
  DocumentHandle& h = *self.document();
  if (CAtom* a = AsAtom(r)) {
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
      throw py::type_error("an atom's type is an int from -128 to 127");
    long type = value.cast<long>();
    if (type < -128 || type > 127)
      ThrowEditError("value", GetRecordPath(a) + ": an atom's type lies from -128 to 127, not " +
                                  std::to_string(type));
    EditStep step(h);
    ApplyRecordEdit(h.doc(), a, a->name, true, int8_t(type));
    return;
  }
  CPropertyItem* p = PropertyOf(self, "type");
  int code = -1;
  if (py::isinstance<py::str>(value)) {
    code = TypeNameToCode(value.cast<std::string>());
    if (code < 0)
      ThrowEditError("value", "\"" + value.cast<std::string>() +
                                  "\" is no property type; the types are BIN, BYTE, SHORT, INT, "
                                  "FLOAT, DOUBLE, DATETIME, LINK_TO and FILE");
  } else if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value)) {
    long v = value.cast<long>();
    if (v < 0 || v >= kTypeCount)
      ThrowEditError("value", "a property type code lies from 0 to 8, not " + std::to_string(v));
    code = int(v);
  } else {
    throw py::type_error("a property's type is a name such as \"SHORT\" (or its code)");
  }
  CPropertyItem* end = nullptr;
  PropertyEdit edit = FormOf(h.doc(), p, &end);
  edit.typeIndex = code;
  ApplyForm(h, p, edit, true);
}

void SetValue(RecordRef& self, const py::object& value) {
  CPropertyItem* p = PropertyOf(self, "value");
  std::string text = FromPython(ValueText(value), "value");
  DocumentHandle& h = *self.document();
  CPropertyItem* end = nullptr;
  PropertyEdit edit = FormOf(h.doc(), p, &end);
  edit.valueText = std::move(text);
  ApplyForm(h, p, edit, false);
}

py::object GetFlags(const RecordRef& self) {
  CPropertyItem* p = AsProperty(self.Get());
  if (!p) return py::none();
  py::set out;
  for (int bit = 0; bit < 8; ++bit)
    if (p->IsFlagSet(bit)) out.add(py::int_(bit + 1));
  return py::object(std::move(out));
}

void SetFlags(RecordRef& self, const py::iterable& flags) {
  CPropertyItem* p = PropertyOf(self, "flags");
  DocumentHandle& h = *self.document();
  CPropertyItem* end = nullptr;
  PropertyEdit edit = FormOf(h.doc(), p, &end);
  uint8_t bits = 0;
  for (py::handle f : flags) {
    if (!py::isinstance<py::int_>(f) || py::isinstance<py::bool_>(f))
      throw py::type_error("flags are the numbers 1 to 6");
    long n = f.cast<long>();
    // 7 and 8 are bits some files carry; the form cannot set them and leaves them as they are.
    if (n >= 7 && n <= 8 && end->IsFlagSet(int(n - 1))) continue;
    if (n < 1 || n > 6)
      ThrowEditError("value", "flags are the numbers 1 to 6, not " + std::to_string(n));
    bits = uint8_t(bits | 1u << (n - 1));
  }
  edit.flagBits = bits;
  ApplyForm(h, p, edit, false);
}

py::object GetLink(const RecordRef& self) {
  CPropertyItem* p = AsProperty(self.Get());
  if (!p || p->typeCode != kTypeLinkTo) return py::none();
  CRecord* target = self.document()->doc().LookupRecord(uint32_t(AtoI(p->valueText)));
  return RecordObject(self.document(), target);
}

void SetLink(RecordRef& self, const py::object& target) {
  CPropertyItem* p = PropertyOf(self, "link");
  DocumentHandle& h = *self.document();
  if (target.is_none()) {
    EditStep step(h);
    UnlinkToShort(h.doc(), p);
    return;
  }
  if (!py::isinstance<RecordRef>(target)) throw py::type_error("a link names a Record or None");
  CRecord* t = Target(self, target.cast<const RecordRef&>(), "link");
  if (!AsProperty(t))
    ThrowEditError(EditRefusal::kWrongKind,
                   "link: a LINK_TO property points at a property, not at " + GetRecordPath(t));
  EditStep step(h);
  SetLinkTarget(h.doc(), p, t);
}

py::object Incoming(const RecordRef& self) {
  CPropertyItem* p = AsProperty(self.Get());
  py::list out;
  if (!p) return py::object(std::move(out));
  CTarnelDoc& doc = self.document()->doc();
  for (const CIncomingLink& link : p->incomingLinks)
    if (CRecord* source = doc.LookupRecord(link.sourceId))
      out.append(RecordObject(self.document(), source));
  return py::object(std::move(out));
}

RecordRef Made(const RecordRef& self, const EditResult& r, const std::string& what) {
  if (r.refusal != EditRefusal::kDone || !r.record)
    ThrowEditError(r.refusal == EditRefusal::kDone ? EditRefusal::kWrongKind : r.refusal, what);
  return RecordRef(self.document(), r.record);
}

RecordRef AddObjectTo(RecordRef& self, const std::string& name) {
  CRecord* r = self.Get();
  std::string n = FromPython(name, "name");
  EditStep step(*self.document());
  return Made(self, AddObject(self.document()->doc(), r, std::move(n)),
              "add_object under " + GetRecordPath(r));
}

RecordRef AddAtomTo(RecordRef& self, const std::string& name, int type) {
  CRecord* r = self.Get();
  std::string n = FromPython(name, "name");
  if (type < -128 || type > 127)
    ThrowEditError("value", "an atom's type lies from -128 to 127, not " + std::to_string(type));
  EditStep step(*self.document());
  return Made(self, AddAtom(self.document()->doc(), r, std::move(n), int8_t(type)),
              "add_atom under " + GetRecordPath(r));
}

RecordRef AddPropertyTo(RecordRef& self, const std::string& name, const py::object& type,
                        const py::object& value) {
  CRecord* r = self.Get();
  PropertyDraft draft;
  draft.name = FromPython(name, "name");
  draft.valueText = FromPython(ValueText(value), "value");
  int code = -1;
  if (py::isinstance<py::str>(type))
    code = TypeNameToCode(type.cast<std::string>());
  else if (py::isinstance<py::int_>(type) && !py::isinstance<py::bool_>(type))
    code = type.cast<int>();
  if (code < 0 || code >= kTypeCount)
    ThrowEditError("value",
                   "the type of a new property is one of BIN, BYTE, SHORT, INT, FLOAT, "
                   "DOUBLE, DATETIME, LINK_TO and FILE");
  draft.typeCode = uint8_t(code);
  if (code == kTypeLinkTo && !self.document()->doc().LookupRecord(uint32_t(AtoI(draft.valueText))))
    ThrowEditError("link-target", "a LINK_TO value names the identifier of its target; \"" +
                                      draft.valueText + "\" names no record");
  EditStep step(*self.document());
  return Made(self, AddProperty(self.document()->doc(), r, draft),
              "add_property under " + GetRecordPath(r));
}

void Delete(RecordRef& self) {
  CRecord* r = self.Get();
  EditStep step(*self.document());
  EditResult result = DeleteRecord(self.document()->doc(), r);
  if (result.refusal != EditRefusal::kDone) ThrowEditError(result.refusal, "delete");
}

void Move(RecordRef& self, const py::object& parent, const py::object& index) {
  CRecord* r = self.Get();
  CTarnelDoc& doc = self.document()->doc();
  CRecord* target = nullptr;
  if (!parent.is_none()) {
    if (!py::isinstance<RecordRef>(parent)) throw py::type_error("move to a Record (or None)");
    target = Target(self, parent.cast<const RecordRef&>(), "move");
  }
  std::string what = "move " + GetRecordPath(r);
  // Groups stand in the document's own list and only change places there.
  if (r->Kind() == kKindGroup || !target) {
    if (r->Kind() != kKindGroup || target) ThrowEditError(EditRefusal::kWrongKind, what);
    EditStep step(*self.document());
    doc.MoveRecord(r, nullptr, index.is_none() ? doc.RowCount(nullptr) - 1 : index.cast<int>());
    return;
  }
  EditStep step(*self.document());
  EditResult moved = MoveUnder(doc, r, target);
  if (moved.refusal != EditRefusal::kDone) ThrowEditError(moved.refusal, what);
  if (!index.is_none()) {
    int row = index.cast<int>();
    int count = doc.RowCount(target);
    if (row < 0) row += count;
    doc.MoveRecord(r, target, row);
  }
}

RecordRef CopyTo(RecordRef& self, const RecordRef& parent) {
  CRecord* r = self.Get();
  CRecord* target = Target(self, parent, "copy_to");
  EditStep step(*self.document());
  return Made(self, PasteRecord(self.document()->doc(), r, target),
              "copy " + GetRecordPath(r) + " to " + GetRecordPath(target));
}

std::string Repr(const RecordRef& self) {
  CRecord* r = self.Get();
  return std::string("<kandrel.Record ") + RecordKindName(r->Kind()) + " " + std::to_string(r->id) +
         " " + py::repr(ToPython(GetRecordPath(r))).cast<std::string>() + ">";
}

}  // namespace

py::object RecordObject(const DocumentPtr& doc, CRecord* record) {
  if (!record) return py::none();
  return py::cast(RecordRef(doc, record));
}

void RegisterRecord(py::module_& m) {
  py::class_<RecordRef>(m, "Record", R"doc(
A group, object, atom or property of a Document.

A Record is a handle: it names the record by its document and identifier and finds it again on
every use. When the record leaves the document (deleted, or taken back by an undo) the handle
raises DeletedRecordError; an undo that brings the record back makes it work again.

Reading a field never changes anything. Assigning `name`, `type`, `value`, `flags`, `eoc` or
`link` makes the same edit as the editor's form, and is one undo step (or part of the
`with doc.edit():` block around it). As the form's "Apply" does, assigning a property's name,
type, value or flags stores its value again (the pattern is computed from the text), and with
`eoc` set the value, type and flags go to the end of its link chain.

Fields that a kind does not have read as None (`type` of a group, `value` of an atom).
)doc")
      .def_property_readonly(
          "id", [](const RecordRef& s) { return s.Get()->id; }, "The record's identifier.")
      .def_property_readonly(
          "kind", [](const RecordRef& s) { return RecordKindName(s.Get()->Kind()); },
          "\"group\", \"object\", \"atom\" or \"property\".")
      .def_property(
          "name", [](const RecordRef& s) { return ToPython(s.Get()->name); }, &SetName,
          "The record's name. Text that windows-1251 cannot hold is refused (EditError).")
      .def_property_readonly(
          "path", [](const RecordRef& s) { return ToPython(GetRecordPath(s.Get())); },
          "\"/Group/Object/.../Atom/Property\".")
      .def_property_readonly("parent", &Parent,
                             "The group or object holding the record (the atom, for a property); "
                             "None for a group.")
      .def_property_readonly("children", &Children,
                             "The objects and atoms of a group or object, the properties of an "
                             "atom, in order; empty for a property.")
      .def_property_readonly(
          "index", [](const RecordRef& s) { return s.document()->doc().RowOf(s.Get()); },
          "The record's position among its siblings.")
      .def_property_readonly(
          "document", [](const RecordRef& s) { return s.document(); },
          "The Document the record belongs to.")
      .def_property("type", &GetType, &SetType,
                    "An atom's type (an int from -128 to 127); a property's type name (\"BIN\", "
                    "\"BYTE\", \"SHORT\", \"INT\", \"FLOAT\", \"DOUBLE\", \"DATETIME\", "
                    "\"LINK_TO\", \"FILE\"; \"UNKNOWN\" for a code no type has). A property "
                    "also takes the code. Making a property a LINK_TO whose value names no "
                    "record is refused.")
      .def_property(
          "value",
          [](const RecordRef& s) -> py::object {
            const CPropertyItem* p = AsProperty(s.Get());
            return p ? py::object(ToPython(p->valueText)) : py::object(py::none());
          },
          &SetValue,
          "A property's value text. Assigning takes a str, int or float and computes the "
          "pattern from it as the form does.")
      .def_property_readonly(
          "raw",
          [](const RecordRef& s) -> py::object {
            const CPropertyItem* p = AsProperty(s.Get());
            return p ? py::object(py::int_(p->GetRawValue())) : py::object(py::none());
          },
          "A property's 32-bit value pattern (an unsigned int).")
      .def_property("flags", &GetFlags, &SetFlags,
                    "A property's option flags: a set of the numbers 1 to 6 (7 and 8 for bits "
                    "some files carry, which an assignment keeps). Assign any iterable of them.")
      .def_property(
          "eoc",
          [](const RecordRef& s) -> py::object {
            const CPropertyItem* p = AsProperty(s.Get());
            return p ? py::object(py::bool_(p->eoc)) : py::object(py::none());
          },
          [](RecordRef& s, bool eoc) {
            CPropertyItem* p = PropertyOf(s, "eoc");
            EditStep step(*s.document());
            SetEndOfChain(s.document()->doc(), p, eoc);
          },
          "A property's end-of-chain flag: its value, type and flags are edited at the end of "
          "its LINK_TO chain.")
      .def_property("link", &GetLink, &SetLink,
                    "The record a LINK_TO property points at (None for another type or a "
                    "target that is gone). Assigning a property makes this one a LINK_TO to "
                    "it; assigning None makes a LINK_TO property a SHORT one.")
      .def_property_readonly("incoming", &Incoming,
                             "The LINK_TO properties that point at this property.")
      .def("add_object", &AddObjectTo, py::arg("name"),
           "Appends a new object to this group or object and returns it.")
      .def("add_atom", &AddAtomTo, py::arg("name"), py::arg("type") = 0,
           "Appends a new atom of the given type (-128..127) to this object and returns it.")
      .def("add_property", &AddPropertyTo, py::arg("name"), py::arg("type"), py::arg("value") = "",
           "Appends a new property to this atom and returns it. `type` is a type name such as "
           "\"SHORT\" (or its code); a LINK_TO value is the identifier of its target, which "
           "learns of the link.")
      .def("delete", &Delete,
           "Deletes the record with its branch. Properties elsewhere that link into the branch "
           "become BIN properties, as in the editor.")
      .def("move", &Move, py::arg("parent"), py::arg("index") = py::none(),
           "Moves the record with its branch to the end of `parent`'s children, or to "
           "position `index` there. A group moves among the groups with parent None.")
      .def("copy_to", &CopyTo, py::arg("parent"),
           "Copies the record with its branch under `parent` with fresh identifiers and "
           "returns the copy.")
      .def("__repr__", &Repr)
      .def(
          "__eq__",
          [](const RecordRef& a, const py::object& b) {
            if (!py::isinstance<RecordRef>(b)) return false;
            const RecordRef& o = b.cast<const RecordRef&>();
            return a.document() == o.document() && a.Get() == o.Get();
          },
          py::is_operator())
      .def("__hash__", [](const RecordRef& s) {
        return py::hash(py::make_tuple(reinterpret_cast<uintptr_t>(s.document().get()), s.id()));
      });
}

}  // namespace kpy
