// The spline blocks: each writer beside the reader that mirrors it field for field. A reader fills its
// record in file order and checks every count against its table first; the writers serve --compress.
#include "kf/spline.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "kf/basis.h"
#include "nif/nif_document.h"
#include "nif/report.h"

namespace {

const std::string kTooManyValues =
    "it holds more than the " + std::to_string(kMaxSplineValues) + " control values read here";

// The interpolator's fields both forms share, in file order.
void Write_Interpolator(ByteWriter& out, const SplineInterpolator& interpolator) {
    Write_f32(out, interpolator.StartTime);
    Write_f32(out, interpolator.StopTime);
    Write_i32(out, interpolator.SplineData);
    Write_i32(out, interpolator.BasisData);
    for (float value : interpolator.Translation)
        Write_f32(out, value);
    for (float value : interpolator.Rotation)
        Write_f32(out, value);
    Write_f32(out, interpolator.Scale);
    for (std::uint32_t handle : interpolator.Handles)
        Write_u32(out, handle);
}

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

// The links a writer takes: a block of the document, or none.
std::int32_t Check_Links(const SplineInterpolator& interpolator, const char* operation) {
    for (const auto& [name, link] : {std::pair{"NiBSplineInterpolator_SplineData", interpolator.SplineData},
                                     {"NiBSplineInterpolator_BasisData", interpolator.BasisData}}) {
        if (link >= static_cast<std::int32_t>(kMaxBlocks))
            return Report_Out_Of_Limits(operation, name, static_cast<std::uint32_t>(link));
    }
    return 0;
}

} // namespace

std::int32_t Save_to_Memory___NiBSplineTransformInterpolator(const SplineInterpolator& interpolator) {
    if (Check_Links(interpolator, "Save_to_Memory___NiBSplineTransformInterpolator") < 0) return -3;
    ByteWriter out = Open_Block_Body();
    Write_Interpolator(out, interpolator);
    return Close_Block_Body(out, "Save_to_Memory___NiBSplineTransformInterpolator");
}

std::int32_t Load_from_Memory___NiBSplineTransformInterpolator(ByteReader& in,
                                                               SplineInterpolator& interpolator) {
    interpolator.Compressed = false;
    Read_Interpolator(in, interpolator);
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Save_to_Memory___NiBSplineCompTransformInterpolator(const SplineInterpolator& interpolator) {
    if (Check_Links(interpolator, "Save_to_Memory___NiBSplineCompTransformInterpolator") < 0) return -3;
    ByteWriter out = Open_Block_Body();
    Write_Interpolator(out, interpolator);
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        Write_f32(out, interpolator.Offsets[channel]);
        Write_f32(out, interpolator.HalfRanges[channel]);
    }
    return Close_Block_Body(out, "Save_to_Memory___NiBSplineCompTransformInterpolator");
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

std::uint32_t Calculate_Size___NiBSplineData(const SplineData& data) {
    return 8 + 4 * data.NumFloatControlPoints + 2 * data.NumCompactControlPoints;
}

std::int32_t Save_to_Memory___NiBSplineData(const SplineData& data) {
    for (const auto& [name, count] :
         {std::pair{"NiBSplineData_NumFloatControlPoints", data.NumFloatControlPoints},
          {"NiBSplineData_NumCompactControlPoints", data.NumCompactControlPoints}}) {
        if (count > kMaxSplineValues)
            return Report_Out_Of_Limits("Save_to_Memory___NiBSplineData", name, count);
    }
    ByteWriter out = Open_Block_Body();
    Write_u32(out, data.NumFloatControlPoints);
    for (std::uint32_t i = 0; i < data.NumFloatControlPoints; ++i)
        Write_f32(out, data.FloatControlPoints[i]);
    Write_u32(out, data.NumCompactControlPoints);
    for (std::uint32_t i = 0; i < data.NumCompactControlPoints; ++i)
        Write_u16(out, static_cast<std::uint16_t>(data.CompactControlPoints[i]));
    return Close_Block_Body(out, "Save_to_Memory___NiBSplineData");
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

std::int32_t Save_to_Memory___NiBSplineBasisData(const SplineBasisData& basis) {
    ByteWriter out = Open_Block_Body();
    Write_u32(out, basis.NumControlPoints);
    return Close_Block_Body(out, "Save_to_Memory___NiBSplineBasisData");
}

std::int32_t Load_from_Memory___NiBSplineBasisData(ByteReader& in, SplineBasisData& basis) {
    basis.NumControlPoints = Read_u32(in);
    return Read_Whole(in) ? 0 : -3;
}

double Spline_Control_Value(const SplineInterpolator& interpolator, const SplineData& data,
                            SplineChannel channel, std::uint32_t point, std::uint32_t component) {
    const std::uint32_t at = interpolator.Handles[channel] + point * kSplineDims[channel] + component;
    if (!interpolator.Compressed) return data.FloatControlPoints[at];
    return double{interpolator.Offsets[channel]} +
           double{interpolator.HalfRanges[channel]} * data.CompactControlPoints[at] / 32767.0;
}

bool Spline_Evaluate(const SplineInterpolator& interpolator, const SplineData& data, std::uint32_t points,
                     double time, double (&value)[8]) {
    const double start = interpolator.StartTime, stop = interpolator.StopTime;
    const double u = (std::clamp(time, start, stop) - start) / (stop - start) * (points - 3.0);
    const BasisWeights basis = Basis_Weights(u, points);
    constexpr std::uint32_t kFirst[kSplineChannels] = {0, 3, 7}; // of each channel in `value`
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        const auto which = static_cast<SplineChannel>(channel);
        if (!Spline_Animated(interpolator, which)) continue;
        for (std::uint32_t component = 0; component < kSplineDims[channel]; ++component) {
            double sum = 0;
            for (std::uint32_t i = 0; i < 4; ++i)
                sum += basis.Weight[i] *
                       Spline_Control_Value(interpolator, data, which, basis.First + i, component);
            value[kFirst[channel] + component] = sum;
        }
    }
    if (!Spline_Animated(interpolator, kSplineRotation)) return true;
    double* q = value + kFirst[kSplineRotation];
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length >= 1e-6)) return false;
    for (int i = 0; i < 4; ++i)
        q[i] /= length;
    return true;
}

bool Spline_Animated(const SplineInterpolator& interpolator, SplineChannel channel) {
    const std::uint32_t handle = interpolator.Handles[channel];
    return handle != kSplineNoHandle && handle != 0xFFFFFFFFu;
}
