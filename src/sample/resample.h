// The resampler of the road back: a bone's tracks of a transform-data record, each on key times of its
// own, taken to one time line, the union of their times, and evaluated there by linear blends
// (rotations along the shorter arc) into the bone table; and the test for the tangents that the key
// text has no place for.
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
// The quaternion keys' rotation of `data` at `blend` into out's rotation slots, normalised.
void Rotation_At(const TransformData& data, const Blend& blend, AnimKey& out);

// A pose component that is not finite, or the largest float in size, holds no value ("none").
bool Holds_Value(float value);

// The parts of a pose, as bits of a mask.
inline constexpr std::uint32_t kPoseTranslation = 1, kPoseRotation = 2, kPoseScale = 4;
inline constexpr std::uint32_t kPoseParts = kPoseTranslation | kPoseRotation | kPoseScale;

// An interpolator's own transform, what a channel without keys holds. A part that holds no value takes
// `rest`'s: a translation per component, a rotation unless all four hold one, a scale; `none` receives
// those parts (the translation's when any component held none).
AnimKey Pose_of(const float (&translation)[3], const float (&rotation)[4], float scale, const AnimKey& rest,
                std::uint32_t& none);

// The rotation w x y z (normalised here) as angles x y z about the axes, in radians, in the order the key
// text's angle keys and the add-on use: R = Rz(z) * Ry(y) * Rx(x) acting on column vectors, X turned
// first (Blender's XYZ Euler order). y lies in [-pi/2, pi/2]; where it is at either end, z is 0.
void Xyz_Angles(float w, float x, float y, float z, float (&angles)[3]);

// Whether a track of `data` holds tangents or TBC values other than zero.
bool Record_Has_Tangents(const TransformData& data);

// What Fill_Bone_from_NiTransformData had to change: the key text has one time for all of a bone's
// tracks, no tangents, and kMaxKeys keys at most.
inline constexpr std::uint32_t kBoneResampled = 1;       // tracks with other times, evaluated at all
inline constexpr std::uint32_t kBoneTangentsDropped = 2; // tangents or TBC values that were not zero
inline constexpr std::uint32_t kBoneTooManyKeys = 4;     // more times than a bone holds: no keys written

// Sets bone `bone` of AnimBones from `data`: one key per time of its tracks, in the quaternion slots
// or, for the three angle groups, the Euler ones. A track without keys takes its value from `pose` (an
// angle: 0). Returns the changes it made, 0 for a record the converter wrote.
std::uint32_t Fill_Bone_from_NiTransformData(std::int32_t bone, const TransformData& data,
                                             const AnimKey& pose);
