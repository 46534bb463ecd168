#include "errors.h"

namespace py = pybind11;

namespace kpy {

namespace {

PyObject* errorBase = nullptr;
PyObject* fileError = nullptr;
PyObject* editError = nullptr;
PyObject* networkError = nullptr;
PyObject* deletedError = nullptr;

PyObject* NewClass(py::module_& m, const char* name, const char* doc, PyObject* bases) {
  std::string qualified = std::string("kandrel.") + name;
  PyObject* cls = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases, nullptr);
  if (!cls) throw py::error_already_set();
  m.add_object(name, py::handle(cls));
  return cls;
}

// Sets the Python exception for `e`: the class's constructor gets the message, the
// attributes the rest.
void Raise(const ScriptError& e) {
  PyObject* cls = e.cls == ErrorClass::kFile      ? fileError
                  : e.cls == ErrorClass::kEdit    ? editError
                  : e.cls == ErrorClass::kNetwork ? networkError
                                                  : deletedError;
  py::object instance = py::reinterpret_borrow<py::object>(cls)(py::str(e.what()));
  instance.attr("file") = e.file.empty() ? py::object(py::none()) : py::object(py::str(e.file));
  instance.attr("cause") = py::str(e.cause.empty() ? std::string(e.what()) : e.cause);
  if (e.cls == ErrorClass::kEdit) instance.attr("reason") = py::str(e.reason);
  PyErr_SetObject(cls, instance.ptr());
}

}  // namespace

const char* RefusalName(EditRefusal refusal) {
  switch (refusal) {
    case EditRefusal::kDone:
      return "done";
    case EditRefusal::kNoRecord:
      return "no-record";
    case EditRefusal::kWrongKind:
      return "wrong-kind";
    case EditRefusal::kOwnBranch:
      return "own-branch";
    case EditRefusal::kTooDeep:
      return "too-deep";
    case EditRefusal::kDocumentFull:
      return "document-full";
  }
  return "refused";
}

void ThrowFileError(const std::string& message, const std::string& file) {
  std::string cause = message;
  // The model's messages begin with the file's name; the cause is what follows it.
  if (!file.empty() && cause.rfind(file + ": ", 0) == 0) cause = cause.substr(file.size() + 2);
  throw ScriptError(ErrorClass::kFile, message, file, cause);
}

void ThrowEditError(EditRefusal refusal, const std::string& what) {
  std::string cause;
  switch (refusal) {
    case EditRefusal::kNoRecord:
      cause = "the record or the target is not in the document";
      break;
    case EditRefusal::kWrongKind:
      cause = "the target may not hold a record of that kind";
      break;
    case EditRefusal::kOwnBranch:
      cause = "the target lies in the record's own branch";
      break;
    case EditRefusal::kTooDeep:
      cause = "the branch would lie deeper than a document file can hold";
      break;
    case EditRefusal::kDocumentFull:
      cause = "every identifier of the document is taken";
      break;
    case EditRefusal::kDone:
      cause = "refused";
      break;
  }
  throw ScriptError(ErrorClass::kEdit, what + ": " + cause, {}, cause, RefusalName(refusal));
}

void ThrowEditError(const std::string& reason, const std::string& message) {
  throw ScriptError(ErrorClass::kEdit, message, {}, message, reason);
}

void RegisterErrors(py::module_& m) {
  errorBase = NewClass(m, "Error",
                       "Base class of every error the module raises.\n\n"
                       "Attributes:\n"
                       "    file: the file or the server (\"host:port\") concerned, or None.\n"
                       "    cause: what went wrong, without the file's name.",
                       PyExc_Exception);
  fileError = NewClass(m, "FileError",
                       "A file could not be read or written: missing, unreadable, not a base, "
                       "damaged, read-only, or a failed XML or c2ko import.",
                       errorBase);
  editError = NewClass(m, "EditError",
                       "The model refused an edit; nothing changed.\n\n"
                       "Attribute `reason` names the rule: \"no-record\", \"wrong-kind\", "
                       "\"own-branch\", \"too-deep\", \"document-full\", \"encoding\" (text that "
                       "windows-1251 cannot hold), \"link-target\" (a link to nothing), "
                       "\"value\" (a value out of range) or \"in-step\".",
                       errorBase);
  networkError = NewClass(m, "NetworkError",
                          "A server could not be reached, closed the connection, stayed silent or "
                          "did not send its base in time. `file` is \"host:port\".",
                          errorBase);
  py::tuple bases = py::make_tuple(py::handle(errorBase), py::handle(PyExc_ReferenceError));
  deletedError = NewClass(m, "DeletedRecordError",
                          "A record handle was used after its record left the document "
                          "(deleted, or undone). Also a ReferenceError.",
                          bases.ptr());
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ScriptError& e) {
      Raise(e);
    }
  });
}

}  // namespace kpy
