// Constants of the archive encoding shared by .kdl files and network messages.
#pragma once

#include <cstdint>
#include <string_view>

namespace archive {

// Object and class references.
inline constexpr uint16_t kNullTag = 0x0000;
inline constexpr uint16_t kBigTag = 0x7FFF;       // a 32-bit tag follows
inline constexpr uint16_t kNewClassTag = 0xFFFF;  // a class description follows
inline constexpr uint16_t kClassTag = 0x8000;     // or'ed with a class number below 0x7FFF
inline constexpr uint32_t kBigClassTag = 0x80000000u;
inline constexpr uint32_t kMaxShortIndex = 0x7FFE;

// String length prefixes.
inline constexpr uint8_t kByteLenEscape = 0xFF;
inline constexpr uint16_t kWideMarker = 0xFFFE;
inline constexpr uint16_t kWordLenEscape = 0xFFFF;
inline constexpr uint32_t kDwordLenEscape = 0xFFFFFFFFu;

// Object array counts.
inline constexpr uint16_t kCountEscape = 0xFFFF;

// Class names are shorter than this.
inline constexpr size_t kMaxClassNameLength = 64;
// Records nest no deeper than this when read.
inline constexpr int kMaxDepth = 1000;

// The serialisable classes, by their registered names, with the schema each is written under.
enum ClassId : int { kClassBase, kClassObj, kClassAtom, kClassProperty, kClassLink, kClassCount };
inline constexpr std::string_view kClassNames[kClassCount] = {"CBase", "CObj", "CAtom",
                                                              "CPropertyItem", "CIncomingLink"};
inline constexpr uint16_t kWrittenSchema[kClassCount] = {1, 1, 1, 4, 1};
// A property read under this schema carries its incoming-link list.
inline constexpr uint16_t kPropertySchemaWithLinks = 3;

}  // namespace archive
