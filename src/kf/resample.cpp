// Times are ordered by their bits, so that any file sorts the same way, NaNs included; the shared-times
// case takes each track's keys one for one and blends nothing.
#include "kf/resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "kf/spline.h"

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
void Rotation_At(const Blend& blend, AnimKey& out) {
    const QuatKey& a = NiTransformData_QuaternionKeys[blend.From];
    const QuatKey& b = NiTransformData_QuaternionKeys[blend.To];
    out.RotW = a.W, out.RotX = a.X, out.RotY = a.Y, out.RotZ = a.Z;
    if (blend.Weight == 0) return;
    const float sign = a.W * b.W + a.X * b.X + a.Y * b.Y + a.Z * b.Z < 0 ? -1.0f : 1.0f;
    const float w = Mix(a.W, sign * b.W, blend.Weight), x = Mix(a.X, sign * b.X, blend.Weight),
                y = Mix(a.Y, sign * b.Y, blend.Weight), z = Mix(a.Z, sign * b.Z, blend.Weight);
    const float length = std::sqrt(w * w + x * x + y * y + z * z);
    if (length > 0)
        out.RotW = w / length, out.RotX = x / length, out.RotY = y / length, out.RotZ = z / length;
}

namespace {

// A pose component that is not finite, or the largest float in size, holds no value.
bool Holds_Value(float value) {
    return std::isfinite(value) && std::fabs(value) < std::numeric_limits<float>::max();
}

float Pose_Value(float value, float absent) {
    return Holds_Value(value) ? value : absent;
}

} // namespace

AnimKey Pose_of(const float (&translation)[3], const float (&rotation)[4], float scale) {
    AnimKey pose{};
    pose.PosX = Pose_Value(translation[0], 0);
    pose.PosY = Pose_Value(translation[1], 0);
    pose.PosZ = Pose_Value(translation[2], 0);
    const bool held = std::all_of(std::begin(rotation), std::end(rotation), Holds_Value);
    pose.RotW = held ? rotation[0] : 1;
    pose.RotX = held ? rotation[1] : 0;
    pose.RotY = held ? rotation[2] : 0;
    pose.RotZ = held ? rotation[3] : 0;
    pose.Scale = Pose_Value(scale, 1);
    return pose;
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

bool Fill_Bone_from_Curve(std::int32_t bone, const AnimKey& pose, const float* times, std::uint32_t count,
                          float& failed) {
    AnimBone& out = AnimBones[bone];
    out.NumKeys = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        AnimKey key = pose;
        key.Time = times[k];
        if (!Spline_At(times[k], key)) {
            failed = times[k];
            return false;
        }
        const AnimKey* before = k > 0 ? &out.Keys[k - 1] : nullptr;
        if (before != nullptr && key.RotW * before->RotW + key.RotX * before->RotX + key.RotY * before->RotY +
                                         key.RotZ * before->RotZ <
                                     0)
            key.RotW = -key.RotW, key.RotX = -key.RotX, key.RotY = -key.RotY, key.RotZ = -key.RotZ;
        out.Keys[k] = key;
    }
    out.NumKeys = static_cast<std::int32_t>(count);
    return true;
}

bool Record_Has_Tangents() {
    for (std::uint32_t k = 0; k < NiTransformData_NumRotationKeys; ++k) {
        if (NiTransformData_RotationType != kKeyXyzRotation && Has_Tbc(NiTransformData_QuaternionKeys[k]))
            return true;
    }
    return std::any_of(std::begin(NiTransformData_XYZRotations), std::end(NiTransformData_XYZRotations),
                       Has_Tangents<FloatKeyGroup>) ||
           Has_Tangents(NiTransformData_Translations) || Has_Tangents(NiTransformData_Scales);
}
