// Deterministic generated bases for tests and benchmarks.
#pragma once

#include <string>

class CTarnelDoc;

// Fills a new document up to `records` records (at most 65,535, the identifier space) with a
// realistic mix: nested objects with Cyrillic and Latin names, atoms with a "DecPoint", values
// of every type, and LINK_TO properties pointing at earlier properties. The tree is rebuilt
// (registered, back references, incoming links) and has no tree view.
void BuildSampleBase(CTarnelDoc& doc, int records);

// A windows-1251 string of `n` bytes cycling through Latin and Cyrillic letters.
std::string Cp1251Text(size_t n);
