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

// Whether a track of the working record holds tangents or TBC values other than zero.
bool Record_Has_Tangents();
