// Names and limits of the XML interchange file that the export writes and the import reads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xmlfmt {

inline constexpr char kGroupElement[] = "Base";
inline constexpr char kObjectElement[] = "Object";
inline constexpr char kAtomElement[] = "Atom";
inline constexpr char kPropertyElement[] = "Property";
inline constexpr char kRootElement[] = "PartQuorvantis";

inline constexpr char kNameAttr[] = "Name";
inline constexpr char kIdAttr[] = "ID";
inline constexpr char kTypeAttr[] = "Type";
// B1..B6 carry the option flags, bit 0 to bit 5.
inline constexpr int kFlagAttrCount = 6;

// The message the user sees for every XML file that cannot be read.
inline constexpr char kParseErrorText[] = "Error while parsing XML document";

// Input limits: a bigger file, more records or deeper nesting is refused before it can cost
// the process its memory or its stack. The depth matches what a .kdl file may hold, so every
// imported tree can be saved and opened again.
inline constexpr int64_t kMaxFileSize = int64_t(64) << 20;
inline constexpr size_t kMaxRecords = 1'000'000;
inline constexpr int kMaxDepth = 1000;

}  // namespace xmlfmt
