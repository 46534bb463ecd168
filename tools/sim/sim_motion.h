// How kandrel-sim moves a numeric property: a smooth wave or a ramp around the value the base
// holds, with a period and phase of its own taken from the property's identifier, so that a
// trend of many properties looks like a plant and not like one signal copied many times.
#pragma once

#include <cstdint>

class CPropertyItem;

struct SimMotion {
  enum Shape : uint8_t { kWave, kRamp };

  uint32_t id = 0;
  uint8_t type = 0;  // BYTE, SHORT, INT, FLOAT or DOUBLE
  Shape shape = kWave;
  double centre = 0;
  double amplitude = 0;
  double periodSeconds = 1;
  double phase = 0;  // in periods, 0..1
};

// BYTE, SHORT, INT, FLOAT and DOUBLE move; other types keep their values.
bool IsMovableType(int typeCode);
// A property of such a type that is a value of the plant, not the atom's "DecPoint".
bool IsMovable(const CPropertyItem& p);

// The motion of a numeric property around its present value.
SimMotion MakeMotion(const CPropertyItem& p);

// The property's pattern `seconds` after the motion started.
uint32_t MotionPattern(const SimMotion& m, double seconds);

// A client set the value to `pattern` at `seconds`: the motion goes on from there instead of
// jumping back to where it would have been.
void ContinueFrom(SimMotion& m, uint32_t pattern, double seconds);
