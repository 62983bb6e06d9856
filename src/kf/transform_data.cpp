// Each serialiser beside the reader that mirrors it. A reader checks every count against its table
// before it fills it, and refuses a body whose bytes do not add up to the layout.
#include "kf/transform_data.h"

#include <string>

#include "nif/nif_document.h"
#include "nif/report.h"

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

std::uint32_t Calculate_Size___NiTransformData(const TransformData& data) {
    std::uint32_t size = data.NumRotationKeys != 0 ? 8 : 4;
    if (data.RotationType != kKeyXyzRotation) {
        const std::uint32_t tbc = data.RotationType == kKeyTbc ? 12 : 0;
        size += data.NumRotationKeys * (20 + tbc);
    } else {
        for (const FloatKeyGroup& group : data.XYZRotations) {
            size += Group_Size(group.NumKeys, group.Interpolation, 4);
        }
    }
    size += Group_Size(data.Translations.NumKeys, data.Translations.Interpolation, 12);
    size += Group_Size(data.Scales.NumKeys, data.Scales.Interpolation, 4);
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

static void Write_Rotations(ByteWriter& out, const TransformData& data) {
    Write_u32(out, data.NumRotationKeys);
    if (data.NumRotationKeys != 0) Write_u32(out, data.RotationType);
    if (data.RotationType != kKeyXyzRotation) {
        for (std::uint32_t k = 0; k < data.NumRotationKeys; ++k) {
            const QuatKey& key = data.QuaternionKeys[k];
            Write_f32(out, key.Time);
            Write_f32(out, key.W);
            Write_f32(out, key.X);
            Write_f32(out, key.Y);
            Write_f32(out, key.Z);
            if (data.RotationType == kKeyTbc) Write_Tbc(out, key.Tension, key.Bias, key.Continuity);
        }
    } else {
        for (const FloatKeyGroup& group : data.XYZRotations)
            Write_Group(out, group);
    }
}

static void Read_Rotations(ByteReader& in, TransformData& data) {
    const std::uint32_t count = Read_u32(in);
    const std::uint32_t type = count != 0 ? Read_u32(in) : 0;
    if (type == kKeyXyzRotation) {
        if (count > kMaxKeys) {
            Fail(in, kTooManyKeys.c_str());
            return;
        }
        data.NumRotationKeys = count;
        data.RotationType = type;
        for (FloatKeyGroup& group : data.XYZRotations)
            Read_Group(in, group);
        return;
    }
    if (!Holds_Keys(in, count, type)) return;
    data.NumRotationKeys = count;
    data.RotationType = type;
    for (std::uint32_t k = 0; k < count; ++k) {
        QuatKey& key = data.QuaternionKeys[k];
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
static bool Counts_In_Limits(const TransformData& data) {
    const struct {
        const char* Name;
        std::uint32_t Count;
    } counts[] = {{"NiTransformData_NumRotationKeys", data.NumRotationKeys},
                  {"NiTransformData_XYZRotations[0].NumKeys", data.XYZRotations[0].NumKeys},
                  {"NiTransformData_XYZRotations[1].NumKeys", data.XYZRotations[1].NumKeys},
                  {"NiTransformData_XYZRotations[2].NumKeys", data.XYZRotations[2].NumKeys},
                  {"NiTransformData_Translations.NumKeys", data.Translations.NumKeys},
                  {"NiTransformData_Scales.NumKeys", data.Scales.NumKeys}};
    for (const auto& count : counts) {
        if (count.Count > kMaxKeys) {
            Report_Out_Of_Limits("Save_to_Memory___NiTransformData", count.Name, count.Count);
            return false;
        }
    }
    return true;
}

std::int32_t Save_to_Memory___NiTransformData(const TransformData& data) {
    if (!Counts_In_Limits(data)) return -3;
    ByteWriter out = Open_Block_Body();
    Write_Rotations(out, data);
    Write_Group(out, data.Translations);
    Write_Group(out, data.Scales);
    return Close_Block_Body(out, "Save_to_Memory___NiTransformData");
}

std::int32_t Load_from_Memory___NiTransformData(ByteReader& in, TransformData& data) {
    Reset_Transform_Data_Counts(data);
    Read_Rotations(in, data);
    Read_Group(in, data.Translations);
    Read_Group(in, data.Scales);
    if (Read_Whole(in)) return 0;
    Reset_Transform_Data_Counts(data); // a half-read record holds nothing to go on
    return -3;
}

void Reset_Transform_Data_Counts(TransformData& data) {
    data.NumRotationKeys = data.RotationType = 0;
    for (FloatKeyGroup& group : data.XYZRotations)
        group.NumKeys = group.Interpolation = 0;
    data.Translations.NumKeys = data.Translations.Interpolation = 0;
    data.Scales.NumKeys = data.Scales.Interpolation = 0;
}

// ---- the interpolator ----------------------------------------------------------------------------

std::int32_t Save_to_Memory___NiTransformInterpolator(const TransformInterpolator& interpolator) {
    if (interpolator.Data > static_cast<std::int32_t>(kMaxBlocks))
        return Report_Out_Of_Limits("Save_to_Memory___NiTransformInterpolator",
                                    "NiTransformInterpolator_Data",
                                    static_cast<std::uint32_t>(interpolator.Data));
    ByteWriter out = Open_Block_Body();
    for (float value : interpolator.Translation)
        Write_f32(out, value);
    for (float value : interpolator.Rotation)
        Write_f32(out, value);
    Write_f32(out, interpolator.Scale);
    Write_i32(out, interpolator.Data);
    return Close_Block_Body(out, "Save_to_Memory___NiTransformInterpolator");
}

std::int32_t Load_from_Memory___NiTransformInterpolator(ByteReader& in, TransformInterpolator& interpolator) {
    for (float& value : interpolator.Translation)
        value = Read_f32(in);
    for (float& value : interpolator.Rotation)
        value = Read_f32(in);
    interpolator.Scale = Read_f32(in);
    interpolator.Data = Read_i32(in);
    return Read_Whole(in) ? 0 : -3;
}
