// Text at the boundary: names and values are windows-1251 bytes in the model and str in
// Python.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace kpy {

pybind11::str ToPython(const std::string& cp1251);
// The windows-1251 bytes of a script's text; EditError ("encoding") naming the field and the
// first character the code page cannot hold.
std::string FromPython(const std::string& utf8, const char* field);

}  // namespace kpy
