// Random edits for the tests that follow a document through many changes.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

class CRecord;
class CTarnelDoc;

// Every record of the document, in tree order (properties after their atom).
std::vector<CRecord*> AllRecords(CTarnelDoc& doc);

// One random edit of the kinds a user makes (rename, value, type and flags, add of each kind,
// link, delete, paste, move, reorder), through the document's edit functions, so links are
// booked and observers told as in the editor. False when the pick did not fit. With `within`,
// only the branch of that record (found by identifier) is picked from and no group is added:
// two such runs on different branches change different lists.
bool RandomEdit(CTarnelDoc& doc, std::mt19937& rng, uint32_t within = 0);
