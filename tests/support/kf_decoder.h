// An independent reader of our output: decodes a whole container and, on top of it, the blocks a
// conversion appends, following every cross-reference and checking every size.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct NifFile {
    std::string HeaderLine;
    std::array<std::uint8_t, 4> Version{};
    std::uint8_t EndianType = 0;
    std::uint32_t UserVersion = 0, UserVersion2 = 0;
    std::array<std::string, 3> ShortStrings;
    std::vector<std::string> BlockTypes;
    std::vector<std::uint16_t> BlockTypeIndex;
    std::vector<std::vector<std::uint8_t>> Bodies;
    std::vector<std::string> Strings;
    std::uint32_t MaxStringLength = 0, NumGroups = 0;
    std::size_t MaxStringLengthAt = 0; // the field's offset in the file
    std::vector<std::int32_t> Roots;
};

// The whole file, to its last byte: false with a reason when anything is off.
bool Decode_Nif(const std::vector<std::uint8_t>& bytes, NifFile& file, std::string& error);

// One key as the key file gave it: time, position x y z, rotation w x y z (Euler: 0 x y z), scale.
using DecodedKey = std::array<float, 9>;

struct DecodedBone {
    std::string Name;
    std::vector<DecodedKey> Keys;
};

struct DecodedAnimation {
    bool Euler = false;
    float Duration = 0;
    std::vector<DecodedBone> Bones;
    std::string AccumRootName; // the text its index names
    std::int32_t AccumRootIndex = -1;
};

// The blocks after the first `templateBlocks`: per bone data and interpolator, then text keys and
// the sequence, every reference followed. False with a reason at the first inconsistency.
bool Decode_Animation(const NifFile& file, std::size_t templateBlocks, DecodedAnimation& animation,
                      std::string& error);
