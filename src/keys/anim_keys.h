// The bone table: every bone record of the animation key file, with the format flags and the
// duration, read in one pass before anything is built (or filled from a .kf, and written as key text).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "capacities.h"

// Opened and closed by the driver, in binary mode on every system: the reader takes CR LF itself.
extern std::FILE* AnimationKeysFile;
extern char AnimationKeysFileName[kFileNameSize];

// Nine slots per key; in the Euler format RotX..RotZ hold the angles and RotW stays 0.
struct AnimKey {
    float Time, PosX, PosY, PosZ, RotW, RotX, RotY, RotZ, Scale;
};

// The numbers of a key line in their order: all nine in the quaternion format; the Euler format leaves
// out RotW.
inline constexpr float AnimKey::*kQuaternionKeySlots[] = {&AnimKey::Time, &AnimKey::PosX, &AnimKey::PosY,
                                                          &AnimKey::PosZ, &AnimKey::RotW, &AnimKey::RotX,
                                                          &AnimKey::RotY, &AnimKey::RotZ, &AnimKey::Scale};
inline constexpr std::array<float AnimKey::*, 8> kEulerKeySlots = [] {
    std::array<float AnimKey::*, 8> slots{};
    std::size_t n = 0;
    for (float AnimKey::*slot : kQuaternionKeySlots) {
        if (slot != &AnimKey::RotW) slots[n++] = slot;
    }
    return slots;
}();

struct AnimBone {
    char Name[kKeyLineSize];        // node name, trimmed from its name line
    std::int32_t NumKeys;           // 0 .. kMaxKeys once the reader has accepted the record
    std::int32_t InterpolatorBlock; // block index, set by the block builder
    std::int32_t NameString;        // string-table index, set by the block builder
    std::int32_t NameLine;          // line of its name line in the key file; 0 when not read from one
    AnimKey Keys[kMaxKeys];
    std::int32_t KeyLines[kMaxKeys]; // line of each key's first number, as NameLine
};

extern std::uint8_t IsQuaternionFormat; // the format line holds "Quaternions"
extern std::uint8_t IsEulerFormat;      // the format line holds "Euler"
extern float AnimDuration;
extern AnimBone AnimBones[kMaxBoneRecords];
extern std::int32_t NumAnimBones;         // set by the driver from the loader's result
extern std::int32_t AnimKeys_NumWarnings; // WARNING lines the last load printed

// Reads AnimationKeysFile to its end. The number of bones to convert (records read minus one, since
// the last record is never converted), -1 when the file holds no record, -3 (its message printed) for a
// record that does not fit the table, a number that cannot be read in the duration or in a converted
// record, or a read of the file that failed. Prints a warning line for what looks mistyped: a converted
// bone's name that begins or ends with a double quote or white space or is made of numbers, a last
// record that holds keys.
std::int32_t Load_from_File___Animation_Keys();

// The 12 characters before a bone name in its name line and the 3 after it, the line feed being the
// last; a line is read as at most kKeyLineSize - 1 characters, so a name line holds this long a name.
inline constexpr std::size_t kNamePrefix = 12;
inline constexpr std::size_t kNameSuffix = 3;
inline constexpr std::size_t kMaxBoneNameLength = kKeyLineSize - 1 - kNamePrefix - kNameSuffix;

// Opened and closed by the program that writes key files.
extern std::FILE* OutputKeysFile;
extern char OutputKeysFileName[kFileNameSize];

// Writes the bone table to OutputKeysFile as a key file that Load_from_File___Animation_Keys reads
// back to the same bits: the format line of the format flag set (quaternions when both are), the
// duration, NumAnimBones records and the closing record. Names must fit their line (at most
// kMaxBoneNameLength bytes, no line feed). 0, or -3 after its message when a write failed.
std::int32_t Save_to_File___Animation_Keys();

// Back to the zero-filled state of program start.
void Reset_Anim_Keys();

// The same when, since the last reset, one load and the block builder alone wrote the table (a run of
// the converter): only the records the load wrote into are cleared, so that the cost follows the file.
void Reset_Loaded_Anim_Keys();
