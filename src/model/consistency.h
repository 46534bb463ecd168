// Finds what a base must never hold once its tree is rebuilt: links to nothing, identifiers
// used twice, and incoming-link entries whose source points elsewhere.
#pragma once

#include <string>
#include <vector>

class CTarnelDoc;

// One line per problem, in tree order; empty when the document is sound.
std::vector<std::string> CheckConsistency(const CTarnelDoc& doc);
