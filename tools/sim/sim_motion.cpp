#include "sim_motion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "model/records.h"
#include "model/value_types.h"

namespace {

// A well-mixed 64-bit number from an identifier and a salt (splitmix64's finaliser), so
// neighbouring identifiers get unrelated periods and phases.
uint64_t Mix(uint32_t id, uint64_t salt) {
  uint64_t z = (uint64_t(id) << 32 | salt) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// 0 <= result < 1.
double Unit(uint32_t id, uint64_t salt) {
  return double(Mix(id, salt) >> 11) * 0x1.0p-53;
}

double ValueOf(int type, uint32_t pattern) {
  switch (type) {
    case kTypeByte:
      return double(pattern & 0xFF);
    case kTypeShort:
      return double(pattern & 0xFFFF);
    case kTypeInt:
      return double(int32_t(pattern));
    default: {
      double v = double(std::bit_cast<float>(pattern));
      return std::isfinite(v) ? v : 0.0;
    }
  }
}

// The range a type's value text can show, so a wave never wraps around.
void RangeOf(int type, double* lo, double* hi) {
  switch (type) {
    case kTypeByte:
      *lo = 0, *hi = 255;
      break;
    case kTypeShort:
      *lo = 0, *hi = 65535;
      break;
    case kTypeInt:
      *lo = -2147483648.0, *hi = 2147483647.0;
      break;
    default:
      *lo = -1e30, *hi = 1e30;
      break;
  }
}

// Where in its swing the motion is at `seconds`: -1..1.
double Swing(const SimMotion& m, double seconds) {
  double turns = seconds / m.periodSeconds + m.phase;
  if (m.shape == SimMotion::kRamp) return 2.0 * (turns - std::floor(turns)) - 1.0;
  // A main wave with a faster, smaller one on top: less regular, still smooth.
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  return 0.8 * std::sin(kTwoPi * turns) + 0.2 * std::sin(kTwoPi * (turns * 3.7 + m.phase));
}

void KeepInRange(SimMotion& m) {
  double lo, hi;
  RangeOf(m.type, &lo, &hi);
  m.amplitude = std::min(m.amplitude, (hi - lo) / 2);
  m.centre = std::clamp(m.centre, lo + m.amplitude, hi - m.amplitude);
}

}  // namespace

bool IsMovableType(int typeCode) {
  return typeCode >= kTypeByte && typeCode <= kTypeDouble;
}

bool IsMovable(const CPropertyItem& p) {
  // "DecPoint" is no signal: it sets how many decimals the atom's other values carry.
  return IsMovableType(p.typeCode) && p.name != "DecPoint";
}

SimMotion MakeMotion(const CPropertyItem& p) {
  SimMotion m;
  m.id = p.id;
  m.type = p.typeCode;
  m.shape = Unit(p.id, 1) < 0.25 ? SimMotion::kRamp : SimMotion::kWave;
  m.periodSeconds = 8.0 + 82.0 * Unit(p.id, 2);
  m.phase = Unit(p.id, 3);
  m.centre = ValueOf(p.typeCode, p.GetRawValue());
  // A fifth of the value either way, at least a visible step of the type.
  double least = p.typeCode == kTypeByte ? 20 : p.typeCode >= kTypeFloat ? 5 : 50;
  m.amplitude = std::max(std::abs(m.centre) * 0.2, least * (0.5 + Unit(p.id, 4)));
  KeepInRange(m);
  return m;
}

uint32_t MotionPattern(const SimMotion& m, double seconds) {
  double v = m.centre + m.amplitude * Swing(m, seconds);
  switch (m.type) {
    case kTypeByte:
      return uint32_t(std::clamp(std::lround(v), 0l, 255l));
    case kTypeShort:
      return uint32_t(std::clamp(std::lround(v), 0l, 65535l));
    case kTypeInt:
      return uint32_t(int32_t(std::clamp(std::llround(v), -2147483648ll, 2147483647ll)));
    default:
      return std::bit_cast<uint32_t>(float(v));
  }
}

void ContinueFrom(SimMotion& m, uint32_t pattern, double seconds) {
  m.centre = ValueOf(m.type, pattern) - m.amplitude * Swing(m, seconds);
  KeepInRange(m);
}
