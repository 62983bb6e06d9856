// A curve is read whole before it is sampled: every control value of an animated channel is unpacked
// and found finite once, so that the evaluation of any time is sums of finite values with weights that
// add up to 1, and cannot overflow.
#include "kf/spline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "kf/bspline_basis.h"

float NiBSplineInterpolator_StartTime;
float NiBSplineInterpolator_StopTime;
std::int32_t NiBSplineInterpolator_SplineData;
std::int32_t NiBSplineInterpolator_BasisData;
float NiBSplineInterpolator_Translation[3];
float NiBSplineInterpolator_Rotation[4];
float NiBSplineInterpolator_Scale;
std::uint32_t NiBSplineInterpolator_Handles[kSplineChannels];
bool NiBSplineInterpolator_Compressed;
float NiBSplineInterpolator_Offsets[kSplineChannels];
float NiBSplineInterpolator_HalfRanges[kSplineChannels];

std::uint32_t NiBSplineData_NumFloatControlPoints;
float NiBSplineData_FloatControlPoints[kMaxSplineValues];
std::uint32_t NiBSplineData_NumCompactControlPoints;
std::int16_t NiBSplineData_CompactControlPoints[kMaxSplineValues];

std::uint32_t NiBSplineBasisData_NumControlPoints;

namespace {

const std::string kTooManyValues =
    "it holds more than the " + std::to_string(kMaxSplineValues) + " control values read here";

// The interpolator's fields both forms share, in file order.
void Read_Interpolator(ByteReader& in) {
    NiBSplineInterpolator_StartTime = Read_f32(in);
    NiBSplineInterpolator_StopTime = Read_f32(in);
    NiBSplineInterpolator_SplineData = Read_i32(in);
    NiBSplineInterpolator_BasisData = Read_i32(in);
    for (float& value : NiBSplineInterpolator_Translation)
        value = Read_f32(in);
    for (float& value : NiBSplineInterpolator_Rotation)
        value = Read_f32(in);
    NiBSplineInterpolator_Scale = Read_f32(in);
    for (std::uint32_t& handle : NiBSplineInterpolator_Handles)
        handle = Read_u32(in);
}

const char* const kChannelNames[kSplineChannels] = {"translation", "rotation", "scale"};
std::string Fault; // the text Spline_Fault points at

const char* Channel_Fault(SplineChannel channel) {
    const std::uint32_t points = NiBSplineBasisData_NumControlPoints, dim = kSplineDims[channel];
    const std::uint64_t count = NiBSplineInterpolator_Compressed ? NiBSplineData_NumCompactControlPoints
                                                                 : NiBSplineData_NumFloatControlPoints;
    const std::uint64_t last =
        std::uint64_t{NiBSplineInterpolator_Handles[channel]} + std::uint64_t{points} * dim - 1;
    const std::string name = kChannelNames[channel];
    if (last >= count) {
        Fault = "its " + name + " channel runs past the control values (its last is value " +
                std::to_string(last) + " of " + std::to_string(count) + ")";
        return Fault.c_str();
    }
    for (std::uint32_t point = 0; point < points; ++point) {
        for (std::uint32_t component = 0; component < dim; ++component) {
            const double value = Spline_Control_Value(channel, point, component);
            if (!(std::fabs(value) <= std::numeric_limits<float>::max())) {
                Fault = "its " + name +
                        " channel holds a control value that is not finite once unpacked "
                        "(control point " +
                        std::to_string(point + 1) + ")";
                return Fault.c_str();
            }
        }
    }
    return nullptr;
}

} // namespace

std::int32_t Load_from_Memory___NiBSplineTransformInterpolator(ByteReader& in) {
    NiBSplineInterpolator_Compressed = false;
    Read_Interpolator(in);
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Load_from_Memory___NiBSplineCompTransformInterpolator(ByteReader& in) {
    NiBSplineInterpolator_Compressed = true;
    Read_Interpolator(in);
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        NiBSplineInterpolator_Offsets[channel] = Read_f32(in);
        NiBSplineInterpolator_HalfRanges[channel] = Read_f32(in);
    }
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Load_from_Memory___NiBSplineData(ByteReader& in) {
    NiBSplineData_NumFloatControlPoints = Read_Count(in, kMaxSplineValues, kTooManyValues.c_str());
    for (std::uint32_t i = 0; i < NiBSplineData_NumFloatControlPoints; ++i)
        NiBSplineData_FloatControlPoints[i] = Read_f32(in);
    NiBSplineData_NumCompactControlPoints = Read_Count(in, kMaxSplineValues, kTooManyValues.c_str());
    for (std::uint32_t i = 0; i < NiBSplineData_NumCompactControlPoints; ++i)
        NiBSplineData_CompactControlPoints[i] = static_cast<std::int16_t>(Read_u16(in));
    if (Read_Whole(in)) return 0;
    NiBSplineData_NumFloatControlPoints = NiBSplineData_NumCompactControlPoints = 0;
    return -3;
}

std::int32_t Load_from_Memory___NiBSplineBasisData(ByteReader& in) {
    NiBSplineBasisData_NumControlPoints = Read_u32(in);
    return Read_Whole(in) ? 0 : -3;
}

double Spline_Control_Value(SplineChannel channel, std::uint32_t point, std::uint32_t component) {
    const std::uint32_t at =
        NiBSplineInterpolator_Handles[channel] + point * kSplineDims[channel] + component;
    if (!NiBSplineInterpolator_Compressed) return NiBSplineData_FloatControlPoints[at];
    return double{NiBSplineInterpolator_Offsets[channel]} +
           double{NiBSplineInterpolator_HalfRanges[channel]} * NiBSplineData_CompactControlPoints[at] /
               32767.0;
}

bool Spline_Animated(SplineChannel channel) {
    const std::uint32_t handle = NiBSplineInterpolator_Handles[channel];
    return handle != kSplineNoHandle && handle != 0xFFFFFFFFu;
}

const char* Spline_Fault() {
    const float start = NiBSplineInterpolator_StartTime, stop = NiBSplineInterpolator_StopTime;
    if (!std::isfinite(start) || !std::isfinite(stop) || !(stop > start)) {
        Fault = "its curve's stop time is not after its start time";
        return Fault.c_str();
    }
    if (NiBSplineBasisData_NumControlPoints < 4) {
        Fault = "its curve has " + std::to_string(NiBSplineBasisData_NumControlPoints) +
                " control points, fewer than the 4 of a cubic curve";
        return Fault.c_str();
    }
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        const auto which = static_cast<SplineChannel>(channel);
        if (!Spline_Animated(which)) continue;
        if (const char* fault = Channel_Fault(which)) return fault;
    }
    return nullptr;
}

bool Spline_At(float time, AnimKey& key) {
    const double start = NiBSplineInterpolator_StartTime, stop = NiBSplineInterpolator_StopTime;
    const std::uint32_t points = NiBSplineBasisData_NumControlPoints;
    const double u = (std::clamp<double>(time, start, stop) - start) / (stop - start) * (points - 3.0);
    const BasisWeights basis = Basis_Weights(u, points);
    double values[kSplineChannels][4] = {};
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        const auto which = static_cast<SplineChannel>(channel);
        if (!Spline_Animated(which)) continue;
        for (std::uint32_t i = 0; i < 4; ++i) {
            for (std::uint32_t component = 0; component < kSplineDims[channel]; ++component)
                values[channel][component] +=
                    basis.Weight[i] * Spline_Control_Value(which, basis.First + i, component);
        }
    }
    if (Spline_Animated(kSplineRotation)) {
        const double* q = values[kSplineRotation];
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        if (!(length >= 1e-6)) return false;
        key.RotW = static_cast<float>(q[0] / length), key.RotX = static_cast<float>(q[1] / length);
        key.RotY = static_cast<float>(q[2] / length), key.RotZ = static_cast<float>(q[3] / length);
    }
    if (Spline_Animated(kSplineTranslation)) {
        const double* t = values[kSplineTranslation];
        key.PosX = static_cast<float>(t[0]), key.PosY = static_cast<float>(t[1]),
        key.PosZ = static_cast<float>(t[2]);
    }
    if (Spline_Animated(kSplineScale)) key.Scale = static_cast<float>(values[kSplineScale][0]);
    return true;
}

void Reset_Splines() {
    NiBSplineInterpolator_StartTime = NiBSplineInterpolator_StopTime = 0;
    NiBSplineInterpolator_SplineData = NiBSplineInterpolator_BasisData = 0;
    for (float& value : NiBSplineInterpolator_Translation)
        value = 0;
    for (float& value : NiBSplineInterpolator_Rotation)
        value = 0;
    NiBSplineInterpolator_Scale = 0;
    NiBSplineInterpolator_Compressed = false;
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        NiBSplineInterpolator_Handles[channel] = 0;
        NiBSplineInterpolator_Offsets[channel] = NiBSplineInterpolator_HalfRanges[channel] = 0;
    }
    // The values past the counts are never read.
    NiBSplineData_NumFloatControlPoints = NiBSplineData_NumCompactControlPoints = 0;
    NiBSplineBasisData_NumControlPoints = 0;
    Fault.clear();
}
