// The differences between two documents as `diff` prints them, for every command that reports
// differences.
#pragma once

#include <string>

#include "model/base_compare.h"

class OutputStream;

// One line per difference, in the result's order (by record path), written as it is made; a
// changed record has a line per field. Paths over kShownPathLimit bytes are abbreviated.
void DiffTextReport(const CompareResult& r, OutputStream& out);
// {"added":[ID...],"removed":[ID...],"changed":[{"id":ID,"fields":[NAME...]}...],"moved":[ID...]}
std::string DiffJsonReport(const CompareResult& r);
