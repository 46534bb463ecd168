// Reads arbitrary bytes as a recovery copy's sidecar. A sidecar that reads must have an absolute
// path or none, a valid time and a session name that can stand in a file name, and what it
// writes back must read again to the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/app/recovery_sidecar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  QString error;
  std::optional<RecoverySidecar> s = ReadRecoverySidecar(bytes, &error);
  if (!s) {
    if (error.isEmpty()) std::abort();
    return 0;
  }
  if (!s->written.isValid()) std::abort();
  if (!s->session.isEmpty() && !IsRecoverySessionName(s->session)) std::abort();
  std::optional<RecoverySidecar> again = ReadRecoverySidecar(WriteRecoverySidecar(*s));
  if (!again || again->path != s->path || again->session != s->session ||
      again->written != s->written)
    std::abort();
  return 0;
}
