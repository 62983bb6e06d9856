// A curve is read whole before it is sampled: every control value of an animated channel is unpacked
// and found finite once, so that the evaluation of any time is sums of finite values with weights that
// add up to 1, and cannot overflow.
#include "sample/curve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "check/hemisphere.h"

namespace {

const char* const kChannelNames[kSplineChannels] = {"translation", "rotation", "scale"};
std::string Fault; // the text Spline_Fault points at

const char* Channel_Fault(const SplineCurve& curve, SplineChannel channel) {
    const std::uint32_t points = curve.Basis.NumControlPoints, dim = kSplineDims[channel];
    const std::uint64_t count =
        curve.Interpolator.Compressed ? curve.Data.NumCompactControlPoints : curve.Data.NumFloatControlPoints;
    const std::uint64_t last =
        std::uint64_t{curve.Interpolator.Handles[channel]} + std::uint64_t{points} * dim - 1;
    const std::string name = kChannelNames[channel];
    if (last >= count) {
        Fault = "its " + name + " channel runs past the control values (its last is value " +
                std::to_string(last) + " of " + std::to_string(count) + ")";
        return Fault.c_str();
    }
    for (std::uint32_t point = 0; point < points; ++point) {
        for (std::uint32_t component = 0; component < dim; ++component) {
            const double value = Spline_Control_Value(curve, channel, point, component);
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

const char* Spline_Fault(const SplineCurve& curve) {
    const float start = curve.Interpolator.StartTime, stop = curve.Interpolator.StopTime;
    if (!std::isfinite(start) || !std::isfinite(stop) || !(stop > start)) {
        Fault = "its curve's stop time is not after its start time";
        return Fault.c_str();
    }
    if (curve.Basis.NumControlPoints < 4) {
        Fault = "its curve has " + std::to_string(curve.Basis.NumControlPoints) +
                " control points, fewer than the 4 of a cubic curve";
        return Fault.c_str();
    }
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        const auto which = static_cast<SplineChannel>(channel);
        if (!Spline_Animated(curve.Interpolator, which)) continue;
        if (const char* fault = Channel_Fault(curve, which)) return fault;
    }
    return nullptr;
}

bool Spline_At(const SplineCurve& curve, float time, AnimKey& key) {
    double value[8] = {key.PosX, key.PosY, key.PosZ, key.RotW, key.RotX, key.RotY, key.RotZ, key.Scale};
    if (!Spline_Evaluate(curve.Interpolator, curve.Data, curve.Basis.NumControlPoints, time, value))
        return false;
    float AnimKey::*const slots[8] = {&AnimKey::PosX, &AnimKey::PosY, &AnimKey::PosZ, &AnimKey::RotW,
                                      &AnimKey::RotX, &AnimKey::RotY, &AnimKey::RotZ, &AnimKey::Scale};
    for (int i = 0; i < 8; ++i)
        key.*slots[i] = static_cast<float>(value[i]);
    return true;
}

std::uint32_t Curve_Times(float start, float stop, double rate, float (&times)[kMaxKeys], bool& spread) {
    spread = false;
    std::uint32_t count = 0;
    for (std::uint32_t k = 0; count < kMaxKeys; ++k) {
        // Computed in double and rounded once, so that every key stands where its frame does.
        const auto time = static_cast<float>(start + k / rate);
        const bool last = !(time < stop);
        times[count++] = last ? stop : time;
        if (last) return count;
    }
    spread = true;
    const double step = (double{stop} - start) / (kMaxKeys - 1);
    for (std::uint32_t k = 0; k < kMaxKeys; ++k)
        times[k] = k + 1 == kMaxKeys ? stop : static_cast<float>(start + step * k);
    return kMaxKeys;
}

bool Fill_Bone_from_Curve(const SplineCurve& curve, std::int32_t bone, const AnimKey& pose,
                          const float* times, std::uint32_t count, float& failed) {
    AnimBone& out = AnimBones[bone];
    out.NumKeys = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        AnimKey key = pose;
        key.Time = times[k];
        if (!Spline_At(curve, times[k], key)) {
            failed = times[k];
            return false;
        }
        const AnimKey* before = k > 0 ? &out.Keys[k - 1] : nullptr;
        if (before != nullptr && In_Other_Hemisphere(Rotation_of(key), Rotation_of(*before)))
            key.RotW = -key.RotW, key.RotX = -key.RotX, key.RotY = -key.RotY, key.RotZ = -key.RotZ;
        out.Keys[k] = key;
    }
    out.NumKeys = static_cast<std::int32_t>(count);
    return true;
}

void Reset_Curve_Fault() {
    Fault.clear();
}
