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

/// Track units (1/500 inch) to metres.
double LengthFromUnits(int32_t v);
/// Metres to track units.
int32_t LengthToUnits(double d);
/// Heading integer (2^32 per circle) to degrees in [-180, 180).
double HeadingFromUnits(int32_t v);
/// Degrees to a heading integer; 180 degrees becomes -2^31.
int32_t HeadingToUnits(double d);
/// Turning angle integer (2^32 per 720 degrees) to degrees.
double TurnFromUnits(int32_t v);
/// Degrees to a turning angle integer.
int32_t TurnToUnits(double d);
double DegToRad(double x);
double RadToDeg(double x);
