// The module's exceptions: every failure a script can meet reaches it as one of the
// kandrel.Error classes, carrying the file or peer and the cause.
#pragma once

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "model/document_edits.h"

namespace kpy {

// Which Python class a failure becomes.
enum class ErrorClass { kFile, kEdit, kNetwork, kDeleted };

// Thrown by the binding code; the translator turns it into the matching kandrel exception
// with the attributes `file`, `cause` and (for edits) `reason`.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(ErrorClass cls, const std::string& message, std::string file = {},
              std::string cause = {}, std::string reason = {})
      : std::runtime_error(message),
        cls(cls),
        file(std::move(file)),
        cause(std::move(cause)),
        reason(std::move(reason)) {}
  ErrorClass cls;
  std::string file;  // the file or the peer ("host:port"); empty when none applies
  std::string cause;
  std::string reason;  // an edit's refusal, as a short word
};

// A failure to read or write `file`; the model's messages already name the file.
[[noreturn]] void ThrowFileError(const std::string& message, const std::string& file);
// An edit the model refused, with its reason.
[[noreturn]] void ThrowEditError(EditRefusal refusal, const std::string& what);
[[noreturn]] void ThrowEditError(const std::string& reason, const std::string& message);

// The short word a refusal is known by in scripts ("wrong-kind", ...).
const char* RefusalName(EditRefusal refusal);

void RegisterErrors(pybind11::module_& m);

}  // namespace kpy
