#include "text.h"

#include "errors.h"
#include "model/cp1251.h"

namespace py = pybind11;

namespace kpy {

namespace {

// The code page as a decoding table of 256 characters, 0x98 as U+FFFD: Python's charmap
// decoder reads the bytes through it without an intermediate UTF-8 copy.
PyObject* DecodingTable() {
  static PyObject* table = [] {
    Py_UCS4 chars[256];
    for (int b = 0; b < 256; ++b) chars[b] = Cp1251ToUnicode(uint8_t(b));
    return PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, chars, 256);
  }();
  return table;
}

}  // namespace

py::str ToPython(const std::string& cp1251) {
  PyObject* s =
      PyUnicode_DecodeCharmap(cp1251.data(), Py_ssize_t(cp1251.size()), DecodingTable(), "strict");
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

std::string FromPython(const std::string& utf8, const char* field) {
  std::string out;
  if (Utf8ToCp1251(utf8, &out) == 0) return out;
  // Name the first character that did not fit, as the editor's form does.
  std::string bad;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::string one = utf8.substr(i, len), enc;
    if (Utf8ToCp1251(one, &enc) > 0) {
      bad = one;
      break;
    }
    i += len;
  }
  ThrowEditError("encoding", std::string(field) + ": windows-1251 cannot hold the character \"" +
                                 bad + "\"; nothing was changed");
}

}  // namespace kpy
