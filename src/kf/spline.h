// The layouts of the spline blocks: the two transform interpolators whose bones move along a cubic
// B-spline (control points as floats, or packed into 16 bits), their control points and their basis,
// each a record, its writer and its reader; what a control value is once unpacked, and the curve's value
// at a time, which the road back samples and the road out checks its fits with.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

// The channels of a curve, in the order of their handles.
enum SplineChannel { kSplineTranslation, kSplineRotation, kSplineScale, kSplineChannels };
// Values a control point of each channel has: x y z, w x y z, the scale.
inline constexpr std::uint32_t kSplineDims[kSplineChannels] = {3, 4, 1};
// A handle of 65535 (or all bits set) leaves its channel at the interpolator's own value.
inline constexpr std::uint32_t kSplineNoHandle = 65535;

// NiBSplineTransformInterpolator, and with Compressed its packed form, whose six floats follow the others.
struct SplineInterpolator {
    float StartTime; // seconds
    float StopTime;
    std::int32_t SplineData; // block index of its NiBSplineData
    std::int32_t BasisData;  // block index of its NiBSplineBasisData
    float Translation[3];
    float Rotation[4]; // w first
    float Scale;
    std::uint32_t Handles[kSplineChannels];
    bool Compressed;
    float Offsets[kSplineChannels]; // packed values: offset + half range x v / 32767
    float HalfRanges[kSplineChannels];
};

struct SplineData {
    std::uint32_t NumFloatControlPoints; // values, not points; at most kMaxSplineValues
    float FloatControlPoints[kMaxSplineValues];
    std::uint32_t NumCompactControlPoints;
    std::int16_t CompactControlPoints[kMaxSplineValues];
};

struct SplineBasisData {
    std::uint32_t NumControlPoints; // of every channel of the curve
};

// A curve as its three blocks hold it.
struct SplineCurve {
    SplineInterpolator Interpolator;
    SplineData Data;
    SplineBasisData Basis;
};

// Body sizes of the interpolators and the basis; the data's follows its counts.
inline constexpr std::uint32_t kSplineInterpolatorSize = 60;
inline constexpr std::uint32_t kSplineCompInterpolatorSize = 84;
inline constexpr std::uint32_t kSplineBasisSize = 4;
std::uint32_t Calculate_Size___NiBSplineData(const SplineData& data);

// Each serialises its record into the body of block Header_NumBlocks and sets its size. 0, or -3.
std::int32_t Save_to_Memory___NiBSplineTransformInterpolator(const SplineInterpolator& interpolator);
std::int32_t Save_to_Memory___NiBSplineCompTransformInterpolator(const SplineInterpolator& interpolator);
std::int32_t Save_to_Memory___NiBSplineData(const SplineData& data);
std::int32_t Save_to_Memory___NiBSplineBasisData(const SplineBasisData& basis);

// Each reads the body under `in` into its record. 0, or -3 when the body does not hold that layout
// (in.Fault says why).
std::int32_t Load_from_Memory___NiBSplineTransformInterpolator(ByteReader& in,
                                                               SplineInterpolator& interpolator);
std::int32_t Load_from_Memory___NiBSplineCompTransformInterpolator(ByteReader& in,
                                                                   SplineInterpolator& interpolator);
std::int32_t Load_from_Memory___NiBSplineData(ByteReader& in, SplineData& data);
std::int32_t Load_from_Memory___NiBSplineBasisData(ByteReader& in, SplineBasisData& basis);

// Control point `point`, component `component` of `channel` of the curve of `interpolator` over `data`,
// unpacked (a packed value: offset + half range x v / 32767); the indices must lie within its values.
double Spline_Control_Value(const SplineInterpolator& interpolator, const SplineData& data,
                            SplineChannel channel, std::uint32_t point, std::uint32_t component);
inline double Spline_Control_Value(const SplineCurve& curve, SplineChannel channel, std::uint32_t point,
                                   std::uint32_t component) {
    return Spline_Control_Value(curve.Interpolator, curve.Data, channel, point, component);
}

// The animated channels of a curve of `points` control points at `time` (held to its start and stop)
// into `value`: translation x y z, rotation w x y z normalised, scale; the others keep what `value`
// holds. False when the rotation comes to a length below 1e-6. Only for a curve whose values are all
// there and finite once unpacked.
bool Spline_Evaluate(const SplineInterpolator& interpolator, const SplineData& data, std::uint32_t points,
                     double time, double (&value)[8]);

// Whether channel `channel` of `interpolator` is animated.
bool Spline_Animated(const SplineInterpolator& interpolator, SplineChannel channel);
