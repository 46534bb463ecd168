// The number a trend plots for a property.
#pragma once

#include <optional>

class CPropertyItem;

// BYTE, SHORT, INT, FLOAT, DOUBLE and BIN can be plotted; other types cannot.
bool IsTrendableType(int typeCode);

// The property's value as its value text shows it (integers as the text's integer, FLOAT and
// DOUBLE as the float pattern, BIN as its pattern); none for types that are no number.
std::optional<double> PropertyNumber(const CPropertyItem& p);
