// The spline blocks read from a .kf: each reader fills its record in file order and checks every count
// against its table first. These readers have no writer in the product: the converter writes keys, and
// the test support's fixture writer is their mirror.
#include "kf/spline.h"

#include <string>

namespace {

const std::string kTooManyValues =
    "it holds more than the " + std::to_string(kMaxSplineValues) + " control values read here";

// The interpolator's fields both forms share, in file order.
void Read_Interpolator(ByteReader& in, SplineInterpolator& interpolator) {
    interpolator.StartTime = Read_f32(in);
    interpolator.StopTime = Read_f32(in);
    interpolator.SplineData = Read_i32(in);
    interpolator.BasisData = Read_i32(in);
    for (float& value : interpolator.Translation)
        value = Read_f32(in);
    for (float& value : interpolator.Rotation)
        value = Read_f32(in);
    interpolator.Scale = Read_f32(in);
    for (std::uint32_t& handle : interpolator.Handles)
        handle = Read_u32(in);
}

} // namespace

std::int32_t Load_from_Memory___NiBSplineTransformInterpolator(ByteReader& in,
                                                               SplineInterpolator& interpolator) {
    interpolator.Compressed = false;
    Read_Interpolator(in, interpolator);
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Load_from_Memory___NiBSplineCompTransformInterpolator(ByteReader& in,
                                                                   SplineInterpolator& interpolator) {
    interpolator.Compressed = true;
    Read_Interpolator(in, interpolator);
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        interpolator.Offsets[channel] = Read_f32(in);
        interpolator.HalfRanges[channel] = Read_f32(in);
    }
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Load_from_Memory___NiBSplineData(ByteReader& in, SplineData& data) {
    data.NumFloatControlPoints = Read_Count(in, kMaxSplineValues, kTooManyValues.c_str());
    for (std::uint32_t i = 0; i < data.NumFloatControlPoints; ++i)
        data.FloatControlPoints[i] = Read_f32(in);
    data.NumCompactControlPoints = Read_Count(in, kMaxSplineValues, kTooManyValues.c_str());
    for (std::uint32_t i = 0; i < data.NumCompactControlPoints; ++i)
        data.CompactControlPoints[i] = static_cast<std::int16_t>(Read_u16(in));
    if (Read_Whole(in)) return 0;
    data.NumFloatControlPoints = data.NumCompactControlPoints = 0;
    return -3;
}

std::int32_t Load_from_Memory___NiBSplineBasisData(ByteReader& in, SplineBasisData& basis) {
    basis.NumControlPoints = Read_u32(in);
    return Read_Whole(in) ? 0 : -3;
}

double Spline_Control_Value(const SplineCurve& curve, SplineChannel channel, std::uint32_t point,
                            std::uint32_t component) {
    const std::uint32_t at = curve.Interpolator.Handles[channel] + point * kSplineDims[channel] + component;
    if (!curve.Interpolator.Compressed) return curve.Data.FloatControlPoints[at];
    return double{curve.Interpolator.Offsets[channel]} +
           double{curve.Interpolator.HalfRanges[channel]} * curve.Data.CompactControlPoints[at] / 32767.0;
}

bool Spline_Animated(const SplineInterpolator& interpolator, SplineChannel channel) {
    const std::uint32_t handle = interpolator.Handles[channel];
    return handle != kSplineNoHandle && handle != 0xFFFFFFFFu;
}
