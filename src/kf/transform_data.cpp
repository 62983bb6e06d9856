// One bone and a transform-data body, both ways: the fill from the bone table and the serialiser,
// and beside them their mirrors, the fill of a bone from the record (through the resampler, which
// takes tracks on times of their own to the bone's one time line) and the reader of a body. Tangents
// and TBC fields are never set by the conversion, so they are written as zeros where their key type asks.
#include "kf/transform_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "keys/anim_keys.h"
#include "kf/resample.h"
#include "nif/nif_document.h"
#include "nif/report.h"

std::uint32_t NiTransformData_NumRotationKeys;
std::uint32_t NiTransformData_RotationType;
QuatKey NiTransformData_QuaternionKeys[kMaxKeys];
FloatKeyGroup NiTransformData_XYZRotations[3];
Vec3KeyGroup NiTransformData_Translations;
FloatKeyGroup NiTransformData_Scales;

// The tracks a bone shares with every format: position and uniform scale.
static void Fill_Translations_and_Scales(const AnimBone& bone, std::uint32_t count) {
    NiTransformData_Translations.NumKeys = count;
    NiTransformData_Translations.Interpolation = kKeyLinear;
    NiTransformData_Scales.NumKeys = count;
    NiTransformData_Scales.Interpolation = kKeyQuadratic;
    for (std::uint32_t k = 0; k < count; ++k) {
        const AnimKey& key = bone.Keys[k];
        Vec3Key& position = NiTransformData_Translations.Keys[k];
        position.Time = key.Time;
        position.Value[0] = key.PosX;
        position.Value[1] = key.PosY;
        position.Value[2] = key.PosZ;
        NiTransformData_Scales.Keys[k].Time = key.Time;
        NiTransformData_Scales.Keys[k].Value = key.Scale;
    }
}

void Fill_NiTransformData_from_Bone(std::int32_t b) {
    const AnimBone& bone = AnimBones[b];
    // The reader refuses other counts; the clamp keeps the tables safe for any caller.
    const std::uint32_t count =
        static_cast<std::uint32_t>(std::clamp<std::int32_t>(bone.NumKeys, 0, kMaxKeys));
    if (IsQuaternionFormat) {
        NiTransformData_NumRotationKeys = count;
        NiTransformData_RotationType = kKeyQuadratic;
        for (std::uint32_t k = 0; k < count; ++k) {
            const AnimKey& key = bone.Keys[k];
            QuatKey& rotation = NiTransformData_QuaternionKeys[k];
            rotation.Time = key.Time;
            rotation.W = key.RotW;
            rotation.X = key.RotX;
            rotation.Y = key.RotY;
            rotation.Z = key.RotZ;
        }
    } else if (IsEulerFormat) {
        NiTransformData_NumRotationKeys = 1;
        NiTransformData_RotationType = kKeyXyzRotation;
        const float AnimKey::*angles[3] = {&AnimKey::RotX, &AnimKey::RotY, &AnimKey::RotZ};
        for (int axis = 0; axis < 3; ++axis) {
            FloatKeyGroup& group = NiTransformData_XYZRotations[axis];
            group.NumKeys = count;
            group.Interpolation = kKeyQuadratic;
            for (std::uint32_t k = 0; k < count; ++k) {
                group.Keys[k].Time = bone.Keys[k].Time;
                group.Keys[k].Value = bone.Keys[k].*angles[axis];
            }
        }
    } else {
        return;
    }
    Fill_Translations_and_Scales(bone, count);
}

// The fill's mirror: one key per time of the bone's tracks, each track blended at it.
static void Key_At(const Blend (&at)[kMaxTracks], int tracks, AnimKey& out) {
    if (NiTransformData_RotationType == kKeyXyzRotation) {
        out.RotW = 0;
        out.RotX = Value_At(NiTransformData_XYZRotations[0], at[0], 0);
        out.RotY = Value_At(NiTransformData_XYZRotations[1], at[1], 0);
        out.RotZ = Value_At(NiTransformData_XYZRotations[2], at[2], 0);
    } else if (NiTransformData_NumRotationKeys != 0) {
        Rotation_At(at[0], out);
    }
    const Vec3KeyGroup& positions = NiTransformData_Translations;
    if (positions.NumKeys != 0) {
        const Blend& p = at[tracks - 2];
        out.PosX = Mix(positions.Keys[p.From].Value[0], positions.Keys[p.To].Value[0], p.Weight);
        out.PosY = Mix(positions.Keys[p.From].Value[1], positions.Keys[p.To].Value[1], p.Weight);
        out.PosZ = Mix(positions.Keys[p.From].Value[2], positions.Keys[p.To].Value[2], p.Weight);
    }
    out.Scale = Value_At(NiTransformData_Scales, at[tracks - 1], out.Scale);
}

std::uint32_t Fill_Bone_from_NiTransformData(std::int32_t b, const AnimKey& pose) {
    int tracks = 0;
    if (NiTransformData_RotationType == kKeyXyzRotation) {
        for (const FloatKeyGroup& group : NiTransformData_XYZRotations)
            Take_Times(tracks++, group.Keys, group.NumKeys);
    } else {
        Take_Times(tracks++, NiTransformData_QuaternionKeys, NiTransformData_NumRotationKeys);
    }
    Take_Times(tracks++, NiTransformData_Translations.Keys, NiTransformData_Translations.NumKeys);
    Take_Times(tracks++, NiTransformData_Scales.Keys, NiTransformData_Scales.NumKeys);

    std::size_t count = 0;
    const bool shared = Collect_Times(tracks, count);
    std::uint32_t changes =
        (shared ? 0 : kBoneResampled) | (Record_Has_Tangents() ? kBoneTangentsDropped : 0);
    AnimBone& bone = AnimBones[b];
    bone.NumKeys = 0;
    if (count > kMaxKeys) return changes | kBoneTooManyKeys;
    for (std::size_t k = 0; k < count; ++k) {
        Blend at[kMaxTracks];
        AnimKey& out = bone.Keys[k];
        out = pose;
        out.Time = Blends_At(k, at);
        Key_At(at, tracks, out);
    }
    bone.NumKeys = static_cast<std::int32_t>(count);
    return changes;
}

// Bytes one key adds for its key type: tangents for quadratic keys, TBC for TBC keys.
static std::uint32_t Extra_Key_Bytes(std::uint32_t interpolation, std::uint32_t tangentBytes) {
    if (interpolation == kKeyQuadratic) return tangentBytes;
    if (interpolation == kKeyTbc) return 12;
    return 0;
}

static std::uint32_t Group_Size(std::uint32_t numKeys, std::uint32_t interpolation,
                                std::uint32_t valueBytes) {
    const std::uint32_t header = numKeys != 0 ? 8 : 4;
    return header + numKeys * (4 + valueBytes + Extra_Key_Bytes(interpolation, 2 * valueBytes));
}

std::uint32_t Calculate_Size___NiTransformData() {
    std::uint32_t size = NiTransformData_NumRotationKeys != 0 ? 8 : 4;
    if (NiTransformData_RotationType != kKeyXyzRotation) {
        const std::uint32_t tbc = NiTransformData_RotationType == kKeyTbc ? 12 : 0;
        size += NiTransformData_NumRotationKeys * (20 + tbc);
    } else {
        for (const FloatKeyGroup& group : NiTransformData_XYZRotations) {
            size += Group_Size(group.NumKeys, group.Interpolation, 4);
        }
    }
    size += Group_Size(NiTransformData_Translations.NumKeys, NiTransformData_Translations.Interpolation, 12);
    size += Group_Size(NiTransformData_Scales.NumKeys, NiTransformData_Scales.Interpolation, 4);
    return size;
}

// The serialiser and, beside each of its parts, the reader that mirrors it field for field.

static void Write_Tbc(ByteWriter& out, float tension, float bias, float continuity) {
    Write_f32(out, tension);
    Write_f32(out, bias);
    Write_f32(out, continuity);
}

static void Read_Tbc(ByteReader& in, float& tension, float& bias, float& continuity) {
    tension = Read_f32(in);
    bias = Read_f32(in);
    continuity = Read_f32(in);
}

static void Write_Value(ByteWriter& out, float value) {
    Write_f32(out, value);
}

static void Read_Value(ByteReader& in, float& value) {
    value = Read_f32(in);
}

static void Write_Value(ByteWriter& out, const float (&value)[3]) {
    for (float component : value)
        Write_f32(out, component);
}

static void Read_Value(ByteReader& in, float (&value)[3]) {
    for (float& component : value)
        component = Read_f32(in);
}

// A float or vector track: count, key type when there are keys, then each key with the optional
// fields its key type asks for.
template <typename KeyGroup>
static void Write_Group(ByteWriter& out, const KeyGroup& group) {
    Write_u32(out, group.NumKeys);
    if (group.NumKeys != 0) Write_u32(out, group.Interpolation);
    for (std::uint32_t k = 0; k < group.NumKeys; ++k) {
        const auto& key = group.Keys[k];
        Write_f32(out, key.Time);
        Write_Value(out, key.Value);
        if (group.Interpolation == kKeyQuadratic) {
            Write_Value(out, key.Forward);
            Write_Value(out, key.Backward);
        }
        if (group.Interpolation == kKeyTbc) Write_Tbc(out, key.Tension, key.Bias, key.Continuity);
    }
}

static const std::string kTooManyKeys =
    "a track holds more than the " + std::to_string(kMaxKeys) + " keys a bone holds";

// A key count and type that the tables and the layouts above can hold; false after marking the body.
static bool Holds_Keys(ByteReader& in, std::uint32_t count, std::uint32_t type) {
    if (count > kMaxKeys) return Fail(in, kTooManyKeys.c_str());
    if (count != 0 && (type < kKeyLinear || type > kKeyTbc))
        return Fail(in, "a track has an unknown key type");
    return true;
}

template <typename KeyGroup>
static void Read_Group(ByteReader& in, KeyGroup& group) {
    const std::uint32_t count = Read_u32(in);
    const std::uint32_t type = count != 0 ? Read_u32(in) : 0;
    if (!Holds_Keys(in, count, type)) return;
    group.NumKeys = count;
    group.Interpolation = type;
    for (std::uint32_t k = 0; k < count; ++k) {
        auto& key = group.Keys[k];
        key = {};
        key.Time = Read_f32(in);
        Read_Value(in, key.Value);
        if (type == kKeyQuadratic) {
            Read_Value(in, key.Forward);
            Read_Value(in, key.Backward);
        }
        if (type == kKeyTbc) Read_Tbc(in, key.Tension, key.Bias, key.Continuity);
    }
}

static void Write_Rotations(ByteWriter& out) {
    Write_u32(out, NiTransformData_NumRotationKeys);
    if (NiTransformData_NumRotationKeys != 0) Write_u32(out, NiTransformData_RotationType);
    if (NiTransformData_RotationType != kKeyXyzRotation) {
        for (std::uint32_t k = 0; k < NiTransformData_NumRotationKeys; ++k) {
            const QuatKey& key = NiTransformData_QuaternionKeys[k];
            Write_f32(out, key.Time);
            Write_f32(out, key.W);
            Write_f32(out, key.X);
            Write_f32(out, key.Y);
            Write_f32(out, key.Z);
            if (NiTransformData_RotationType == kKeyTbc)
                Write_Tbc(out, key.Tension, key.Bias, key.Continuity);
        }
    } else {
        for (const FloatKeyGroup& group : NiTransformData_XYZRotations)
            Write_Group(out, group);
    }
}

static void Read_Rotations(ByteReader& in) {
    const std::uint32_t count = Read_u32(in);
    const std::uint32_t type = count != 0 ? Read_u32(in) : 0;
    if (type == kKeyXyzRotation) {
        if (count > kMaxKeys) {
            Fail(in, kTooManyKeys.c_str());
            return;
        }
        NiTransformData_NumRotationKeys = count;
        NiTransformData_RotationType = type;
        for (FloatKeyGroup& group : NiTransformData_XYZRotations)
            Read_Group(in, group);
        return;
    }
    if (!Holds_Keys(in, count, type)) return;
    NiTransformData_NumRotationKeys = count;
    NiTransformData_RotationType = type;
    for (std::uint32_t k = 0; k < count; ++k) {
        QuatKey& key = NiTransformData_QuaternionKeys[k];
        key = {};
        key.Time = Read_f32(in);
        key.W = Read_f32(in);
        key.X = Read_f32(in);
        key.Y = Read_f32(in);
        key.Z = Read_f32(in);
        if (type == kKeyTbc) Read_Tbc(in, key.Tension, key.Bias, key.Continuity);
    }
}

// Every track count is checked, not only the rotation keys: the fill guarantees them, and a bad one
// would read past its table.
static bool Counts_In_Limits() {
    const struct {
        const char* Name;
        std::uint32_t Count;
    } counts[] = {{"NiTransformData_NumRotationKeys", NiTransformData_NumRotationKeys},
                  {"NiTransformData_XYZRotations[0].NumKeys", NiTransformData_XYZRotations[0].NumKeys},
                  {"NiTransformData_XYZRotations[1].NumKeys", NiTransformData_XYZRotations[1].NumKeys},
                  {"NiTransformData_XYZRotations[2].NumKeys", NiTransformData_XYZRotations[2].NumKeys},
                  {"NiTransformData_Translations.NumKeys", NiTransformData_Translations.NumKeys},
                  {"NiTransformData_Scales.NumKeys", NiTransformData_Scales.NumKeys}};
    for (const auto& count : counts) {
        if (count.Count > kMaxKeys) {
            Report_Out_Of_Limits("Save_to_Memory___NiTransformData", count.Name, count.Count);
            return false;
        }
    }
    return true;
}

std::int32_t Save_to_Memory___NiTransformData() {
    if (!Counts_In_Limits()) return -3;
    ByteWriter out = Open_Block_Body();
    Write_Rotations(out);
    Write_Group(out, NiTransformData_Translations);
    Write_Group(out, NiTransformData_Scales);
    return Close_Block_Body(out, "Save_to_Memory___NiTransformData");
}

std::int32_t Load_from_Memory___NiTransformData(ByteReader& in) {
    Reset_Transform_Data_Counts();
    Read_Rotations(in);
    Read_Group(in, NiTransformData_Translations);
    Read_Group(in, NiTransformData_Scales);
    if (Read_Whole(in)) return 0;
    Reset_Transform_Data_Counts(); // a half-read record holds nothing to go on
    return -3;
}

void Reset_Transform_Data_Counts() {
    NiTransformData_NumRotationKeys = NiTransformData_RotationType = 0;
    for (FloatKeyGroup& group : NiTransformData_XYZRotations)
        group.NumKeys = group.Interpolation = 0;
    NiTransformData_Translations.NumKeys = NiTransformData_Translations.Interpolation = 0;
    NiTransformData_Scales.NumKeys = NiTransformData_Scales.Interpolation = 0;
}

void Reset_Transform_Data() {
    NiTransformData_NumRotationKeys = NiTransformData_RotationType = 0;
    std::memset(NiTransformData_QuaternionKeys, 0, sizeof NiTransformData_QuaternionKeys);
    std::memset(NiTransformData_XYZRotations, 0, sizeof NiTransformData_XYZRotations);
    std::memset(&NiTransformData_Translations, 0, sizeof NiTransformData_Translations);
    std::memset(&NiTransformData_Scales, 0, sizeof NiTransformData_Scales);
}
