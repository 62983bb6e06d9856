// The transform-data working record: one bone's rotation, translation and scale tracks, filled
// from the bone table, sized, and serialised into a block body.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "keys/anim_keys.h"
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

// Reads the body under `in` into the record, the serialiser's mirror. 0, or -3 when the body does not
// hold that layout (in.Fault says why; the record then holds no keys).
std::int32_t Load_from_Memory___NiTransformData(ByteReader& in);

// What Fill_Bone_from_NiTransformData had to change: the key text has one time for all of a bone's
// tracks, no tangents, and kMaxKeys keys at most.
inline constexpr std::uint32_t kBoneResampled = 1;       // tracks with other times, evaluated at all
inline constexpr std::uint32_t kBoneTangentsDropped = 2; // tangents or TBC values that were not zero
inline constexpr std::uint32_t kBoneTooManyKeys = 4;     // more times than a bone holds: no keys written

// Sets bone `bone` of AnimBones from the record, the fill's mirror: one key per time of its tracks, in
// the quaternion slots or, for the three angle groups, the Euler ones. A track without keys takes its
// value from `pose` (an angle: 0). Returns the changes it made, 0 for a record the fill wrote.
std::uint32_t Fill_Bone_from_NiTransformData(std::int32_t bone, const AnimKey& pose);

// The counts of the record back to zero: it holds no keys.
void Reset_Transform_Data_Counts();

// Back to the zero-filled state of program start.
void Reset_Transform_Data();
