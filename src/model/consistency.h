// Finds what a base must never hold once its tree is rebuilt: links to nothing, identifiers
// used twice, and incoming-link entries whose source points elsewhere.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CTarnelDoc;

// One line per problem, in tree order; empty when the document is sound. Records are named by
// their path as AbbreviatedRecordPath shows it.
std::vector<std::string> CheckConsistency(const CTarnelDoc& doc);
// The same lines, each handed to `report` as it is found.
void CheckConsistency(const CTarnelDoc& doc, const std::function<void(const std::string&)>& report);
