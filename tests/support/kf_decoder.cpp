#include "support/kf_decoder.h"

#include <bit>
#include <cstring>

namespace {

struct Cursor {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Pos = 0;
    bool Ok = true;

    bool take(void* out, std::size_t count) {
        if (!Ok || count > Size - Pos) {
            Ok = false;
            std::memset(out, 0, count);
            return false;
        }
        std::memcpy(out, Data + Pos, count);
        Pos += count;
        return true;
    }
    std::uint8_t u8() {
        std::uint8_t value;
        take(&value, 1);
        return value;
    }
    std::uint16_t u16() {
        std::uint8_t b[2];
        take(b, 2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint32_t u32() {
        std::uint8_t b[4];
        take(b, 4);
        return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() { return std::bit_cast<float>(u32()); }
    std::string text(std::size_t count) {
        if (!Ok || count > Size - Pos) {
            Ok = false;
            return {};
        }
        std::string value(reinterpret_cast<const char*>(Data + Pos), count);
        Pos += count;
        return value;
    }
    bool done() const { return Ok && Pos == Size; }
};

bool Fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

} // namespace

bool Decode_Nif(const std::vector<std::uint8_t>& bytes, NifFile& file, std::string& error) {
    Cursor in{bytes.data(), bytes.size()};
    const std::uint8_t* lineEnd =
        static_cast<const std::uint8_t*>(std::memchr(bytes.data(), '\n', bytes.size()));
    if (lineEnd == nullptr) return Fail(error, "no header line");
    file.HeaderLine = in.text(static_cast<std::size_t>(lineEnd - bytes.data()) + 1);
    for (std::uint8_t& byte : file.Version)
        byte = in.u8();
    file.EndianType = in.u8();
    file.UserVersion = in.u32();
    const std::uint32_t numBlocks = in.u32();
    file.UserVersion2 = in.u32();
    for (std::string& text : file.ShortStrings) {
        const std::uint8_t length = in.u8();
        if (length == 0) return Fail(error, "short string of length 0");
        text = in.text(length);
        if (in.Ok && (text.back() != '\0' || text.find('\0') != text.size() - 1)) {
            return Fail(error, "short string without its one terminating zero");
        }
        if (in.Ok) text.pop_back();
    }
    file.BlockTypes.resize(in.u16());
    for (std::string& type : file.BlockTypes)
        type = in.text(in.u32());
    if (!in.Ok || numBlocks > bytes.size()) return Fail(error, "header cut short");
    file.BlockTypeIndex.resize(numBlocks);
    for (std::uint16_t& type : file.BlockTypeIndex) {
        type = in.u16();
        if (in.Ok && type >= file.BlockTypes.size()) return Fail(error, "block type index out of range");
    }
    std::vector<std::uint32_t> sizes(numBlocks);
    for (std::uint32_t& size : sizes)
        size = in.u32();
    const std::uint32_t numStrings = in.u32();
    file.MaxStringLengthAt = in.Pos;
    file.MaxStringLength = in.u32();
    if (!in.Ok || numStrings > bytes.size()) return Fail(error, "header cut short");
    file.Strings.resize(numStrings);
    for (std::string& text : file.Strings) {
        text = in.text(in.u32());
        if (in.Ok && text.size() > file.MaxStringLength) return Fail(error, "string longer than the maximum");
    }
    file.NumGroups = in.u32();
    file.Bodies.resize(numBlocks);
    for (std::uint32_t i = 0; i < numBlocks; ++i) {
        const std::string body = in.text(sizes[i]);
        file.Bodies[i].assign(body.begin(), body.end());
    }
    const std::uint32_t roots = in.u32();
    if (!in.Ok) return Fail(error, "file cut short before the footer");
    if (roots > bytes.size()) return Fail(error, "root count beyond the file");
    file.Roots.resize(roots);
    for (std::int32_t& root : file.Roots)
        root = in.i32();
    if (!in.Ok) return Fail(error, "file cut short in the footer");
    if (!in.done()) return Fail(error, "bytes after the footer");
    return true;
}

namespace {

std::string Type_Of(const NifFile& file, std::size_t block) {
    return block < file.BlockTypeIndex.size() ? file.BlockTypes[file.BlockTypeIndex[block]] : std::string();
}

std::string String_At(const NifFile& file, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < file.Strings.size() ? file.Strings[index]
                                                                               : "<bad index>";
}

// Reads "count, interpolation, keys" of a float or vector track; the keys' tangents must be zero.
bool Read_Track(Cursor& in, std::uint32_t expectedType, std::size_t components, std::vector<DecodedKey>& keys,
                std::size_t slot, std::string& error) {
    const std::uint32_t count = in.u32();
    if (count != keys.size()) return Fail(error, "track key count differs from the rotation keys");
    if (count == 0) return true;
    const std::uint32_t type = in.u32();
    if (type != expectedType) return Fail(error, "unexpected track interpolation");
    for (DecodedKey& key : keys) {
        const float time = in.f32();
        if (in.Ok && std::bit_cast<std::uint32_t>(time) != std::bit_cast<std::uint32_t>(key[0])) {
            return Fail(error, "track times differ between tracks");
        }
        for (std::size_t c = 0; c < components; ++c)
            key[slot + c] = in.f32();
        if (type == 2) {
            for (std::size_t c = 0; c < 2 * components; ++c) {
                if (in.f32() != 0.0f) return Fail(error, "non-zero tangent");
            }
        }
    }
    return true;
}

bool Decode_Transform_Data(const std::vector<std::uint8_t>& body, bool& euler, std::vector<DecodedKey>& keys,
                           std::string& error) {
    Cursor in{body.data(), body.size()};
    const std::uint32_t rotationKeys = in.u32();
    const std::uint32_t rotationType = rotationKeys != 0 ? in.u32() : 0;
    euler = rotationType == 4;
    if (euler) {
        if (rotationKeys != 1) return Fail(error, "Euler data with other than one rotation key");
        // The X track fixes the times; Y and Z must repeat them.
        const std::uint32_t count = in.u32();
        if (!in.Ok || count > 1536) return Fail(error, "bad X rotation count");
        keys.assign(count, DecodedKey{});
        if (count != 0 && in.u32() != 2) return Fail(error, "unexpected X interpolation");
        for (DecodedKey& key : keys) {
            key[0] = in.f32();
            key[5] = in.f32();
            if (in.f32() != 0.0f || in.f32() != 0.0f) return Fail(error, "non-zero tangent");
        }
        if (!Read_Track(in, 2, 1, keys, 6, error) || !Read_Track(in, 2, 1, keys, 7, error)) return false;
    } else {
        if (rotationKeys != 0 && rotationType != 2) return Fail(error, "unexpected quaternion key type");
        if (rotationKeys > 1536) return Fail(error, "too many quaternion keys");
        keys.assign(rotationKeys, DecodedKey{});
        for (DecodedKey& key : keys) {
            key[0] = in.f32();
            for (std::size_t c = 4; c < 8; ++c)
                key[c] = in.f32();
        }
    }
    if (!Read_Track(in, 1, 3, keys, 1, error) || !Read_Track(in, 2, 1, keys, 8, error)) return false;
    if (!in.done()) return Fail(error, "transform data size differs from its content");
    return true;
}

} // namespace

static bool Decode_Bones(const NifFile& file, std::size_t templateBlocks, std::size_t bones,
                         DecodedAnimation& animation, std::string& error) {
    for (std::size_t b = 0; b < bones; ++b) {
        const std::size_t data = templateBlocks + 2 * b, interpolator = data + 1;
        if (Type_Of(file, data) != "NiTransformData" ||
            Type_Of(file, interpolator) != "NiTransformInterpolator") {
            return Fail(error, "bone blocks out of order");
        }
        const auto& body = file.Bodies[interpolator];
        Cursor in{body.data(), body.size()};
        const float expected[8] = {0, 0, 0, 1, 0, 0, 0, 1};
        for (float value : expected) {
            if (in.f32() != value) return Fail(error, "interpolator transform is not the identity");
        }
        if (in.i32() != static_cast<std::int32_t>(data) || !in.done()) {
            return Fail(error, "interpolator does not point at its data block");
        }
        DecodedBone bone;
        bool euler = false;
        if (!Decode_Transform_Data(file.Bodies[data], euler, bone.Keys, error)) return false;
        if (b > 0 && euler != animation.Euler) return Fail(error, "bones in different formats");
        animation.Euler = euler;
        animation.Bones.push_back(bone);
    }
    return true;
}

bool Decode_Animation(const NifFile& file, std::size_t templateBlocks, DecodedAnimation& animation,
                      std::string& error) {
    const std::size_t blocks = file.Bodies.size();
    if (blocks < templateBlocks + 2 || (blocks - templateBlocks) % 2 != 0)
        return Fail(error, "wrong block count");
    const std::size_t bones = (blocks - templateBlocks - 2) / 2;
    if (!Decode_Bones(file, templateBlocks, bones, animation, error)) return false;

    const std::size_t textKeysBlock = blocks - 2, sequenceBlock = blocks - 1;
    if (Type_Of(file, textKeysBlock) != "NiTextKeyExtraData" ||
        Type_Of(file, sequenceBlock) != "NiControllerSequence") {
        return Fail(error, "text keys or sequence missing");
    }
    Cursor keys{file.Bodies[textKeysBlock].data(), file.Bodies[textKeysBlock].size()};
    if (keys.i32() != -1 || keys.u32() != 2 || keys.f32() != 0.0f || String_At(file, keys.i32()) != "start") {
        return Fail(error, "bad start text key");
    }
    animation.Duration = keys.f32();
    if (String_At(file, keys.i32()) != "end" || !keys.done()) return Fail(error, "bad end text key");

    Cursor seq{file.Bodies[sequenceBlock].data(), file.Bodies[sequenceBlock].size()};
    if (String_At(file, seq.i32()) != "SpecialIdle") return Fail(error, "sequence not named SpecialIdle");
    if (seq.u32() != bones || seq.u32() != 1)
        return Fail(error, "controlled block count differs from the bones");
    for (std::size_t b = 0; b < bones; ++b) {
        const std::int32_t interpolator = seq.i32();
        const std::int32_t controller = seq.i32();
        const std::uint8_t priority = seq.u8();
        animation.Bones[b].Name = String_At(file, seq.i32());
        const std::int32_t property = seq.i32();
        const std::string controllerType = String_At(file, seq.i32());
        const std::int32_t controllerId = seq.i32(), interpolatorId = seq.i32();
        if (interpolator != static_cast<std::int32_t>(templateBlocks + 2 * b + 1) || controller != -1 ||
            priority != 0 || property != -1 || controllerType != "NiTransformController" ||
            controllerId != -1 || interpolatorId != -1) {
            return Fail(error, "bad controlled block " + std::to_string(b));
        }
    }
    const float weight = seq.f32();
    const std::int32_t textKeys = seq.i32();
    const std::uint32_t cycle = seq.u32();
    const float frequency = seq.f32(), start = seq.f32(), stop = seq.f32();
    const std::int32_t manager = seq.i32();
    animation.AccumRootIndex = seq.i32();
    animation.AccumRootName = String_At(file, animation.AccumRootIndex);
    const std::uint16_t notes = seq.u16();
    if (weight != 1.0f || textKeys != static_cast<std::int32_t>(textKeysBlock) || cycle != 0 ||
        frequency != 1.0f || start != 0.0f ||
        std::bit_cast<std::uint32_t>(stop) != std::bit_cast<std::uint32_t>(animation.Duration) ||
        manager != -1 || notes != 0 || !seq.done()) {
        return Fail(error, "bad sequence fields");
    }
    return true;
}
