// The resampler of the road back: a bone's tracks, each on key times of its own, taken to one time
// line, the union of their times, and evaluated there by linear blends (rotations along the shorter
// arc); and the test for the tangents that the key text has no place for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keys/anim_keys.h"
#include "kf/transform_data.h"

// Tracks of one bone: the three angle groups or the quaternion keys, then translations and scales.
inline constexpr int kMaxTracks = 5;

// Where a time falls in a track: between keys From and To, Weight of the way to To. Before the first
// key and after the last the track is held flat.
struct Blend {
    std::uint32_t From, To;
    float Weight;
};

// Room for the `count` key times of track `track` (count at most kMaxKeys).
float* Track_Times(int track, std::uint32_t count);

template <typename Key>
void Take_Times(int track, const Key* keys, std::uint32_t count) {
    float* times = Track_Times(track, count);
    for (std::uint32_t k = 0; k < count; ++k)
        times[k] = keys[k].Time;
}

// The bone's key times from tracks 0 to `tracks` - 1: those of the tracks with keys when they all share
// them (true), else their union in ascending order (false). `count` receives how many.
bool Collect_Times(int tracks, std::size_t& count);

// The bone's key time `k` of the last Collect_Times, and where each track stands at it in `at`. Called
// for k = 0, 1, ... in order.
float Blends_At(std::size_t k, Blend (&at)[kMaxTracks]);

float Mix(float a, float b, float weight);
// The group's value at `blend`; `absent` when it has no keys.
float Value_At(const FloatKeyGroup& group, const Blend& blend, float absent);
// The quaternion keys' rotation at `blend` into out's rotation slots, normalised.
void Rotation_At(const Blend& blend, AnimKey& out);

// An interpolator's own transform, what a channel without keys holds: a component that holds no value
// (not finite, or the largest float in size) is at rest, a position's per component, a rotation unless
// all four hold one, a scale.
AnimKey Pose_of(const float (&translation)[3], const float (&rotation)[4], float scale);

// The key times of a curve sampled from `start` to `stop` at `rate` keys a second: the float nearest to
// start + k / rate while before `stop`, then `stop` itself. More than kMaxKeys of them are kMaxKeys
// spread evenly from start to stop, and `spread` says so. Their count; both times must be finite.
std::uint32_t Curve_Times(float start, float stop, double rate, float (&times)[kMaxKeys], bool& spread);

// Sets bone `bone` of AnimBones from the curve read last, which Spline_Fault passed, at `count` times:
// channels that are not animated from `pose`, each rotation in the hemisphere of the one before. False,
// with the time in `failed`, when a rotation cancels out there.
bool Fill_Bone_from_Curve(std::int32_t bone, const AnimKey& pose, const float* times, std::uint32_t count,
                          float& failed);

// Whether a track of the working record holds tangents or TBC values other than zero.
bool Record_Has_Tangents();
