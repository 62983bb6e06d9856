// The transform-data working record: one bone's rotation, translation and scale tracks, filled
// from the bone table, sized, and serialised into a block body.
#pragma once

#include <cstdint>

#include "capacities.h"

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

extern std::uint32_t NiTransformData_NumRotationKeys; // quaternion keys; 1 in the Euler form
extern std::uint32_t NiTransformData_RotationType;    // kKeyXyzRotation selects the three angle groups
extern QuatKey NiTransformData_QuaternionKeys[kMaxKeys];
extern FloatKeyGroup NiTransformData_XYZRotations[3]; // about X, Y and Z
extern Vec3KeyGroup NiTransformData_Translations;
extern FloatKeyGroup NiTransformData_Scales;

// Sets the working record from bone `bone` of AnimBones in the format the key file declared.
void Fill_NiTransformData_from_Bone(std::int32_t bone);

// The bytes Save_to_Memory___NiTransformData writes for the current record.
std::uint32_t Calculate_Size___NiTransformData();

// Serialises the record into the body of block Header_NumBlocks and sets its size. 0, or -3.
std::int32_t Save_to_Memory___NiTransformData();

// Back to the zero-filled state of program start.
void Reset_Transform_Data();
