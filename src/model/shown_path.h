// Record paths as they are shown on a line of text: whole up to a limit, by their end beyond.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CRecord;

// The longest record path shown whole; a longer one is abbreviated, so a small file of deep
// records with long names cannot make a listing of gigabytes.
inline constexpr size_t kShownPathLimit = 4096;
// A path as it is shown: whole up to `limit` bytes; beyond, "\x85" (an ellipsis) and the path's
// last bytes, then " (id N)", `limit` bytes in all.
std::string AbbreviatedPath(std::string_view path, uint32_t id, size_t limit = kShownPathLimit);
// The record's path as AbbreviatedPath shows it, built from the record up: it costs no more
// than the shown bytes and the depth, however long the whole path is.
std::string AbbreviatedRecordPath(const CRecord* r, size_t limit = kShownPathLimit);
