// The layouts of a bone's two blocks, NiTransformData and NiTransformInterpolator: their records, the
// size of a body, and each writer beside the reader that mirrors it field for field. Tangents and TBC
// fields are never set by the conversion, so they are written as zeros where their key type asks.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

// Key type codes: which optional fields each key carries in the file.
inline constexpr std::uint32_t kKeyLinear = 1;
inline constexpr std::uint32_t kKeyQuadratic = 2; // tangents, except on quaternion keys
inline constexpr std::uint32_t kKeyTbc = 3;       // tension, bias, continuity
inline constexpr std::uint32_t kKeyXyzRotation = 4;

struct QuatKey {
    float Time, W, X, Y, Z, Tension, Bias, Continuity;
};

struct FloatKey {
    float Time, Value, Forward, Backward, Tension, Bias, Continuity;
};

struct Vec3Key {
    float Time, Value[3], Forward[3], Backward[3], Tension, Bias, Continuity;
};

struct FloatKeyGroup {
    std::uint32_t NumKeys;
    std::uint32_t Interpolation; // key type code
    FloatKey Keys[kMaxKeys];
};

struct Vec3KeyGroup {
    std::uint32_t NumKeys;
    std::uint32_t Interpolation; // key type code
    Vec3Key Keys[kMaxKeys];
};

// One bone's rotation, translation and scale tracks.
struct TransformData {
    std::uint32_t NumRotationKeys; // quaternion keys; 1 in the Euler form
    std::uint32_t RotationType;    // kKeyXyzRotation selects the three angle groups
    QuatKey QuaternionKeys[kMaxKeys];
    FloatKeyGroup XYZRotations[3]; // about X, Y and Z
    Vec3KeyGroup Translations;
    FloatKeyGroup Scales;
};

// The bytes Save_to_Memory___NiTransformData writes for `data`.
std::uint32_t Calculate_Size___NiTransformData(const TransformData& data);

// Serialises `data` into the body of block Header_NumBlocks and sets its size. 0, or -3.
std::int32_t Save_to_Memory___NiTransformData(const TransformData& data);

// Reads the body under `in` into `data`, the serialiser's mirror. 0, or -3 when the body does not hold
// that layout (in.Fault says why; `data` then holds no keys).
std::int32_t Load_from_Memory___NiTransformData(ByteReader& in, TransformData& data);

// The counts of `data` back to zero: it holds no keys.
void Reset_Transform_Data_Counts(TransformData& data);

// A bone's interpolator: its own transform, what a track without keys holds, and its data block.
struct TransformInterpolator {
    float Translation[3];
    float Rotation[4]; // w first
    float Scale;
    std::int32_t Data; // block index of the bone's transform data
};

inline constexpr std::uint32_t kInterpolatorSize = 36;

// Serialises `interpolator` into the body of block Header_NumBlocks. 0, or -3.
std::int32_t Save_to_Memory___NiTransformInterpolator(const TransformInterpolator& interpolator);

// Reads the body under `in`, the serialiser's mirror. 0, or -3 when the body does not hold that layout.
std::int32_t Load_from_Memory___NiTransformInterpolator(ByteReader& in, TransformInterpolator& interpolator);
