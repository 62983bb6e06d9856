// Each bone's form under --compress: keys, a pose, or the curve the search finds, packed or as floats.
// A bone stays keys when a curve cannot hold its keys or none beats them. The tables the fits fill.
#include "build/compress.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "build/compress_work.h"
#include "keys/anim_keys.h"

CompressionSettings Compression;
BoneFit BoneFits[kMaxBoneRecords];
SplineData BuiltSplineData;

namespace compress_work {

Work W;

namespace {

float AnimKey::*const kKeySlots[kValues] = {&AnimKey::PosX, &AnimKey::PosY, &AnimKey::PosZ, &AnimKey::RotW,
                                            &AnimKey::RotX, &AnimKey::RotY, &AnimKey::RotZ, &AnimKey::Scale};

// The bone's keys into W: false when a curve cannot hold them (a key outside start to stop, a value
// that is not finite, a rotation of no length).
bool Take_Keys(const AnimBone& bone, float start, float stop) {
    W.Keys = static_cast<std::uint32_t>(std::clamp<std::int32_t>(bone.NumKeys, 0, kMaxKeys));
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        const AnimKey& key = bone.Keys[k];
        if (!(key.Time >= start && key.Time <= stop)) return false;
        W.Times[k] = (double{key.Time} - start) / (double{stop} - start);
        for (int v = 0; v < kValues; ++v) {
            W.Values[v][k] = key.*kKeySlots[v];
            if (!std::isfinite(W.Values[v][k])) return false;
        }
        const std::uint32_t q = kSlot[kSplineRotation];
        double length = 0, dot = 0;
        for (std::uint32_t j = q; j < q + 4; ++j) {
            length += W.Values[j][k] * W.Values[j][k];
            dot += k > 0 ? W.Values[j][k] * W.Values[j][k - 1] : 0;
        }
        length = std::sqrt(length);
        if (!(length > 0) || !std::isfinite(length)) return false;
        const double scale = (dot < 0 ? -1 : 1) / length; // into the hemisphere of the key before
        for (std::uint32_t j = q; j < q + 4; ++j)
            W.Values[j][k] *= scale;
    }
    return true;
}

} // namespace

// Whether key k lies within the bound of `value` (a channel's values, from its first slot).
bool Key_Within(SplineChannel channel, std::uint32_t k, const double* value) {
    const std::uint32_t first = kSlot[channel];
    if (channel == kSplineRotation) {
        double dot = 0, length = 0;
        for (int j = 0; j < 4; ++j) {
            dot += value[j] * W.Values[first + j][k];
            length += value[j] * value[j];
        }
        // The angle between two rotations is twice that between their unit quaternions, either sign.
        return length >= 1e-12 && std::fabs(dot) >= W.Limit[channel] * std::sqrt(length);
    }
    double distance = 0;
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j)
        distance += (value[j] - W.Values[first + j][k]) * (value[j] - W.Values[first + j][k]);
    return std::sqrt(distance) <= W.Limit[channel];
}

namespace {

// Whether a channel stays within its bound of one value, which `held` (its slots in a row) receives:
// the middle of the keys' range, or for rotations their normalised mean.
bool Still(SplineChannel channel, float (&held)[kValues]) {
    const std::uint32_t first = kSlot[channel];
    double value[4] = {};
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j) {
        const double* keys = W.Values[first + j];
        if (channel == kSplineRotation) {
            for (std::uint32_t k = 0; k < W.Keys; ++k)
                value[j] += keys[k];
        } else {
            const auto [low, high] = std::minmax_element(keys, keys + W.Keys);
            value[j] = (*low + *high) / 2;
        }
    }
    if (channel == kSplineRotation) {
        const double length = std::hypot(std::hypot(value[0], value[1]), std::hypot(value[2], value[3]));
        for (double& component : value)
            component = length > 0 ? component / length : 0;
    }
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j) {
        held[first + j] = static_cast<float>(value[j]);
        value[j] = held[first + j]; // judged as written
    }
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        if (!Key_Within(channel, k, value)) return false;
    }
    return true;
}

} // namespace

} // namespace compress_work

using namespace compress_work;

void Fit_Bone(std::int32_t b, float start, float stop) {
    BoneFit& fit = BoneFits[b];
    fit = {};
    const AnimBone& bone = AnimBones[b];
    if (bone.NumKeys <= 0) return;
    if (!Take_Keys(bone, start, stop)) {
        fit.Reason = KeysReason::OutsideSequence;
        return;
    }
    W.Limit[kSplineTranslation] = Compression.Bounds[kSplineTranslation] * kMargin;
    W.Limit[kSplineRotation] = std::cos(Compression.Bounds[kSplineRotation] * kMargin / 2);
    W.Limit[kSplineScale] = Compression.Bounds[kSplineScale] * kMargin;
    float held[kValues] = {};
    bool animated = false;
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        W.Animated[channel] = !Still(static_cast<SplineChannel>(channel), held);
        animated = animated || W.Animated[channel];
    }
    SplineInterpolator& curve = fit.Interpolator;
    for (int v = 0; v < kValues; ++v) {
        const bool moving = W.Animated[v < 3 ? 0 : v < 7 ? 1 : 2];
        const float value = moving ? bone.Keys[0].*kKeySlots[v] : held[v];
        (v < 3 ? curve.Translation[v] : v < 7 ? curve.Rotation[v - 3] : curve.Scale) = value;
    }
    curve.StartTime = start, curve.StopTime = stop;
    if (!animated) {
        fit.Form = BoneForm::Pose;
        return;
    }
    W.Packed = !Too_Wide_to_Pack();
    float times[kMaxKeys];
    for (std::uint32_t k = 0; k < W.Keys; ++k)
        times[k] = bone.Keys[k].Time;
    // Where packing cannot stay within the bound (a rotation whose curve passes close to zero turns
    // faster than 16 bits follow), floats may.
    if (Search_Points(fit, times) == 0 && W.Packed && fit.Reason == KeysReason::None) {
        W.Packed = false;
        Search_Points(fit, times);
    }
    if (fit.Points == 0) {
        if (fit.Reason == KeysReason::None) fit.Reason = KeysReason::NoCurveBeatsKeys;
        return;
    }
    fit.Form = BoneForm::Curve;
}

void Reset_Compression() {
    // Only the values a build wrote, so that the cost follows the file.
    std::fill_n(BuiltSplineData.FloatControlPoints, BuiltSplineData.NumFloatControlPoints, 0.0f);
    std::fill_n(BuiltSplineData.CompactControlPoints, BuiltSplineData.NumCompactControlPoints,
                std::int16_t{0});
    BuiltSplineData.NumFloatControlPoints = BuiltSplineData.NumCompactControlPoints = 0;
    std::fill(std::begin(BoneFits), std::end(BoneFits), BoneFit{});
}
