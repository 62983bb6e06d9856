// Spline curves: the two transform interpolators whose bones move along a cubic B-spline (control
// points as floats, or packed into 16 bits), their control points and their basis, read from a .kf,
// and the curve evaluated at a time. These readers have no writer: the converter writes keys, and the
// test support's fixture writer is their mirror.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "keys/anim_keys.h"
#include "nif/le.h"

// The channels of a curve, in the order of their handles.
enum SplineChannel { kSplineTranslation, kSplineRotation, kSplineScale, kSplineChannels };
// Values a control point of each channel has: x y z, w x y z, the scale.
inline constexpr std::uint32_t kSplineDims[kSplineChannels] = {3, 4, 1};
// A handle of 65535 (or all bits set) leaves its channel at the interpolator's own value.
inline constexpr std::uint32_t kSplineNoHandle = 65535;

// NiBSplineTransformInterpolator, and with NiBSplineInterpolator_Compressed its packed form, whose six
// floats follow the others.
extern float NiBSplineInterpolator_StartTime; // seconds
extern float NiBSplineInterpolator_StopTime;
extern std::int32_t NiBSplineInterpolator_SplineData; // block index of its NiBSplineData
extern std::int32_t NiBSplineInterpolator_BasisData;  // block index of its NiBSplineBasisData
extern float NiBSplineInterpolator_Translation[3];
extern float NiBSplineInterpolator_Rotation[4]; // w first
extern float NiBSplineInterpolator_Scale;
extern std::uint32_t NiBSplineInterpolator_Handles[kSplineChannels];
extern bool NiBSplineInterpolator_Compressed;
extern float NiBSplineInterpolator_Offsets[kSplineChannels]; // packed values: offset + half range x v / 32767
extern float NiBSplineInterpolator_HalfRanges[kSplineChannels];

extern std::uint32_t NiBSplineData_NumFloatControlPoints; // values, not points; at most kMaxSplineValues
extern float NiBSplineData_FloatControlPoints[kMaxSplineValues];
extern std::uint32_t NiBSplineData_NumCompactControlPoints;
extern std::int16_t NiBSplineData_CompactControlPoints[kMaxSplineValues];

extern std::uint32_t NiBSplineBasisData_NumControlPoints; // of every channel of the curve

// Each reads the body under `in` into its working record. 0, or -3 when the body does not hold that
// layout (in.Fault says why).
std::int32_t Load_from_Memory___NiBSplineTransformInterpolator(ByteReader& in);
std::int32_t Load_from_Memory___NiBSplineCompTransformInterpolator(ByteReader& in);
std::int32_t Load_from_Memory___NiBSplineData(ByteReader& in);
std::int32_t Load_from_Memory___NiBSplineBasisData(ByteReader& in);

// Control point `point`, component `component` of `channel` of the curve read last, unpacked (a
// packed value: offset + half range x v / 32767); the indices must lie within its values.
double Spline_Control_Value(SplineChannel channel, std::uint32_t point, std::uint32_t component);

// Whether channel `channel` of the interpolator read last is animated.
bool Spline_Animated(SplineChannel channel);

// Why the curve of the records read last cannot be evaluated: too few control points, a channel past
// its values, a control value that is not finite once unpacked, times that bound no span; null when it
// can be.
const char* Spline_Fault();

// The curve at `time` (held to its start and stop) into `key`'s position, rotation and scale; the
// channels that are not animated keep what `key` holds. The rotation is normalised; false, with the key
// unchanged, when it comes to a length below 1e-6. Only for a curve Spline_Fault passed.
bool Spline_At(float time, AnimKey& key);

// Back to the state of program start.
void Reset_Splines();
