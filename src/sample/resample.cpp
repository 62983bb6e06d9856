// Times are ordered by their bits, so that any file sorts the same way, NaNs included; the shared-times
// case takes each track's keys one for one and blends nothing.
#include "sample/resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "check/hemisphere.h"

namespace {

float TrackTimes[kMaxTracks][kMaxKeys];
std::uint32_t TrackCounts[kMaxTracks];
int NumTracks;
// The bone's key times: every track's own when they agree, else their union.
float BoneTimes[kMaxTracks * kMaxKeys];
bool Shared;
// Per track, the search from one of the bone's times to the next, later one.
std::uint32_t Cursors[kMaxTracks];

// Floats in one total order by their bits, NaNs included, so that sorting is defined for any file.
std::int64_t Order_Key(float value) {
    const auto bits = std::bit_cast<std::int32_t>(value);
    return bits < 0 ? -static_cast<std::int64_t>(bits & 0x7FFFFFFF) - 1 : bits;
}

bool Tracks_Share_Times(int tracks, int& first) {
    first = -1;
    for (int t = 0; t < tracks; ++t) {
        if (TrackCounts[t] == 0) continue;
        if (first < 0) {
            first = t;
        } else if (TrackCounts[t] != TrackCounts[first] ||
                   std::memcmp(TrackTimes[t], TrackTimes[first], TrackCounts[t] * sizeof(float)) != 0) {
            return false;
        }
    }
    return true;
}

Blend Blend_At(int track, float time) {
    const float* times = TrackTimes[track];
    const std::uint32_t count = TrackCounts[track];
    std::uint32_t& cursor = Cursors[track];
    while (cursor < count && !(times[cursor] >= time))
        ++cursor;
    if (cursor == 0) return {0, 0, 0};
    if (cursor == count) return {count - 1, count - 1, 0};
    if (times[cursor] == time) return {cursor, cursor, 0};
    const float from = times[cursor - 1];
    return {cursor - 1, cursor, (time - from) / (times[cursor] - from)};
}

bool Is_Zero(float value) {
    return value == 0;
}
bool Is_Zero(const float (&value)[3]) {
    return value[0] == 0 && value[1] == 0 && value[2] == 0;
}

template <typename Key>
bool Has_Tbc(const Key& key) {
    return !Is_Zero(key.Tension) || !Is_Zero(key.Bias) || !Is_Zero(key.Continuity);
}

template <typename KeyGroup>
bool Has_Tangents(const KeyGroup& group) {
    for (std::uint32_t k = 0; k < group.NumKeys; ++k) {
        const auto& key = group.Keys[k];
        if (!Is_Zero(key.Forward) || !Is_Zero(key.Backward) || Has_Tbc(key)) return true;
    }
    return false;
}

} // namespace

float* Track_Times(int track, std::uint32_t count) {
    TrackCounts[track] = count;
    return TrackTimes[track];
}

bool Collect_Times(int tracks, std::size_t& count) {
    int first = -1;
    NumTracks = tracks;
    Shared = Tracks_Share_Times(tracks, first);
    std::fill(std::begin(Cursors), std::end(Cursors), 0);
    count = 0;
    for (int t = 0; t < tracks; ++t) {
        if (Shared && t != first) continue;
        std::copy_n(TrackTimes[t], TrackCounts[t], BoneTimes + count);
        count += TrackCounts[t];
    }
    if (Shared) return true;
    const auto before = [](float a, float b) { return Order_Key(a) < Order_Key(b); };
    const auto same = [](float a, float b) { return Order_Key(a) == Order_Key(b); };
    std::sort(BoneTimes, BoneTimes + count, before);
    count = static_cast<std::size_t>(std::unique(BoneTimes, BoneTimes + count, same) - BoneTimes);
    return false;
}

float Blends_At(std::size_t k, Blend (&at)[kMaxTracks]) {
    const float time = BoneTimes[k];
    const auto key = static_cast<std::uint32_t>(k);
    for (int t = 0; t < NumTracks; ++t)
        at[t] = Shared ? Blend{key, key, 0} : Blend_At(t, time);
    return time;
}

float Mix(float a, float b, float weight) {
    return weight == 0 ? a : a + (b - a) * weight;
}

float Value_At(const FloatKeyGroup& group, const Blend& blend, float absent) {
    if (group.NumKeys == 0) return absent;
    return Mix(group.Keys[blend.From].Value, group.Keys[blend.To].Value, blend.Weight);
}

// Normalised linear interpolation along the shorter arc.
void Rotation_At(const TransformData& data, const Blend& blend, AnimKey& out) {
    const QuatKey& a = data.QuaternionKeys[blend.From];
    const QuatKey& b = data.QuaternionKeys[blend.To];
    out.RotW = a.W, out.RotX = a.X, out.RotY = a.Y, out.RotZ = a.Z;
    if (blend.Weight == 0) return;
    const float sign = In_Other_Hemisphere({b.W, b.X, b.Y, b.Z}, {a.W, a.X, a.Y, a.Z}) ? -1.0f : 1.0f;
    const float w = Mix(a.W, sign * b.W, blend.Weight), x = Mix(a.X, sign * b.X, blend.Weight),
                y = Mix(a.Y, sign * b.Y, blend.Weight), z = Mix(a.Z, sign * b.Z, blend.Weight);
    const float length = std::sqrt(w * w + x * x + y * y + z * z);
    if (length > 0)
        out.RotW = w / length, out.RotX = x / length, out.RotY = y / length, out.RotZ = z / length;
}

bool Holds_Value(float value) {
    return std::isfinite(value) && std::fabs(value) < std::numeric_limits<float>::max();
}

AnimKey Pose_of(const float (&translation)[3], const float (&rotation)[4], float scale, const AnimKey& rest,
                std::uint32_t& none) {
    AnimKey pose = rest;
    none = 0;
    float AnimKey::*const position[] = {&AnimKey::PosX, &AnimKey::PosY, &AnimKey::PosZ};
    for (int i = 0; i < 3; ++i) {
        if (Holds_Value(translation[i]))
            pose.*position[i] = translation[i];
        else
            none |= kPoseTranslation;
    }
    if (std::all_of(std::begin(rotation), std::end(rotation), Holds_Value))
        pose.RotW = rotation[0], pose.RotX = rotation[1], pose.RotY = rotation[2], pose.RotZ = rotation[3];
    else
        none |= kPoseRotation;
    if (Holds_Value(scale))
        pose.Scale = scale;
    else
        none |= kPoseScale;
    return pose;
}

void Xyz_Angles(float w, float x, float y, float z, float (&angles)[3]) {
    const double length = std::sqrt(double{w} * w + double{x} * x + double{y} * y + double{z} * z);
    const double qw = w / length, qx = x / length, qy = y / length, qz = z / length;
    // The entries of R the angles come from: R20 = -sin y; R21 / R22 and R10 / R00 give x and z.
    const double r20 = 2 * (qx * qz - qw * qy), r21 = 2 * (qy * qz + qw * qx),
                 r22 = 1 - 2 * (qx * qx + qy * qy), r10 = 2 * (qx * qy + qw * qz),
                 r00 = 1 - 2 * (qy * qy + qz * qz);
    const double sinY = std::clamp(-r20, -1.0, 1.0);
    double aboutX = 0, aboutZ = 0;
    if (std::fabs(sinY) < 1 - 1e-9) {
        aboutX = std::atan2(r21, r22), aboutZ = std::atan2(r10, r00);
    } else { // X and Z turn about one axis: all of the turn is given to X
        aboutX = std::atan2(-2 * (qy * qz - qw * qx), 1 - 2 * (qx * qx + qz * qz));
    }
    // Adding 0 makes a -0 a 0, which the key text would write as "-0".
    angles[0] = static_cast<float>(aboutX + 0.0);
    angles[1] = static_cast<float>(std::asin(sinY) + 0.0);
    angles[2] = static_cast<float>(aboutZ + 0.0);
}

bool Record_Has_Tangents(const TransformData& data) {
    for (std::uint32_t k = 0; k < data.NumRotationKeys; ++k) {
        if (data.RotationType != kKeyXyzRotation && Has_Tbc(data.QuaternionKeys[k])) return true;
    }
    return std::any_of(std::begin(data.XYZRotations), std::end(data.XYZRotations),
                       Has_Tangents<FloatKeyGroup>) ||
           Has_Tangents(data.Translations) || Has_Tangents(data.Scales);
}

// The fill's mirror: one key per time of the bone's tracks, each track blended at it.
static void Key_At(const TransformData& data, const Blend (&at)[kMaxTracks], int tracks, AnimKey& out) {
    if (data.RotationType == kKeyXyzRotation) {
        out.RotW = 0;
        out.RotX = Value_At(data.XYZRotations[0], at[0], 0);
        out.RotY = Value_At(data.XYZRotations[1], at[1], 0);
        out.RotZ = Value_At(data.XYZRotations[2], at[2], 0);
    } else if (data.NumRotationKeys != 0) {
        Rotation_At(data, at[0], out);
    }
    const Vec3KeyGroup& positions = data.Translations;
    if (positions.NumKeys != 0) {
        const Blend& p = at[tracks - 2];
        out.PosX = Mix(positions.Keys[p.From].Value[0], positions.Keys[p.To].Value[0], p.Weight);
        out.PosY = Mix(positions.Keys[p.From].Value[1], positions.Keys[p.To].Value[1], p.Weight);
        out.PosZ = Mix(positions.Keys[p.From].Value[2], positions.Keys[p.To].Value[2], p.Weight);
    }
    out.Scale = Value_At(data.Scales, at[tracks - 1], out.Scale);
}

std::uint32_t Fill_Bone_from_NiTransformData(std::int32_t b, const TransformData& data, const AnimKey& pose) {
    int tracks = 0;
    if (data.RotationType == kKeyXyzRotation) {
        for (const FloatKeyGroup& group : data.XYZRotations)
            Take_Times(tracks++, group.Keys, group.NumKeys);
    } else {
        Take_Times(tracks++, data.QuaternionKeys, data.NumRotationKeys);
    }
    Take_Times(tracks++, data.Translations.Keys, data.Translations.NumKeys);
    Take_Times(tracks++, data.Scales.Keys, data.Scales.NumKeys);

    std::size_t count = 0;
    const bool shared = Collect_Times(tracks, count);
    std::uint32_t changes =
        (shared ? 0 : kBoneResampled) | (Record_Has_Tangents(data) ? kBoneTangentsDropped : 0);
    AnimBone& bone = AnimBones[b];
    bone.NumKeys = 0;
    if (count > kMaxKeys) return changes | kBoneTooManyKeys;
    for (std::size_t k = 0; k < count; ++k) {
        Blend at[kMaxTracks];
        AnimKey& out = bone.Keys[k];
        out = pose;
        out.Time = Blends_At(k, at);
        Key_At(data, at, tracks, out);
    }
    bone.NumKeys = static_cast<std::int32_t>(count);
    return changes;
}
