#pragma once
// Conversions between the integers every track file stores and the metres
// and degrees the track model speaks. Each is a fixed expression evaluated
// left to right, so that every build turns the same doubles into the same
// integers; do not reorder or fold the factors.

#include <cstdint>

/// The circle constant, identical to std::acos(-1.0); a constant so that no
/// static initialiser can see it unset.
constexpr double Pi = 3.141592653589793;

/// Rounds half away from zero, then keeps the low 32 bits of the 64-bit
/// integer (so 2^31 wraps to -2^31). NaN and infinities give 0.
int32_t RoundHalfAway(double x);

// The conversions to the model are defined here, inline: every query of a
// track goes through one, and a call each would cost more than the product.

/// Track units (1/500 inch) to metres.
inline double LengthFromUnits(int32_t v) { return v * 3.1565656565656566e-5 * 1.609344; }
/// Metres to track units.
int32_t LengthToUnits(double d);
/// Heading integer (2^32 per circle) to degrees in [-180, 180).
inline double HeadingFromUnits(int32_t v) { return v * 2.3283064365386963e-10 * 360.0; }
/// Degrees to a heading integer; 180 degrees becomes -2^31.
int32_t HeadingToUnits(double d);
/// Turning angle integer (2^32 per 720 degrees) to degrees.
inline double TurnFromUnits(int32_t v) { return v * 2.3283064365386963e-10 * 720.0; }
/// Degrees to a turning angle integer.
int32_t TurnToUnits(double d);
inline double DegToRad(double x) { return Pi * x * 0.005555555555555556; }
inline double RadToDeg(double x) { return x / Pi * 180.0; }
