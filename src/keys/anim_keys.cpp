// The key-file reader. It reads as the C library's fgets and fscanf would, so files written for the
// tool's earlier builds keep their meaning, malformed numbers included.
#include "keys/anim_keys.h"

#include <cstring>

#include "keys/key_scanner.h"

std::FILE* AnimationKeysFile;
char AnimationKeysFileName[kFileNameSize];
std::uint8_t IsQuaternionFormat;
std::uint8_t IsEulerFormat;
float AnimDuration;
AnimBone AnimBones[kMaxBoneRecords];
std::int32_t NumAnimBones;

static KeyScanner Scanner;
static char LineBuffer[kKeyLineSize];

// The 12 characters before a bone name and the 3 after it, the line feed being the last.
inline constexpr std::size_t kNamePrefix = 12;
inline constexpr std::size_t kNameSuffix = 3;

// Reads numbers as one fscanf pattern "%f %f ... %f\n": the first that fails ends the pattern, and
// only a complete pattern skips the white space after it.
static bool Scan_Floats(float* const* slots, int count) {
    for (int i = 0; i < count; ++i) {
        if (!Scan_Float(Scanner, slots[i])) return false;
    }
    Scan_Skip_Space(Scanner);
    return true;
}

static bool Scan_Quaternion_Key(AnimKey& key) {
    float* const slots[] = {&key.Time, &key.PosX, &key.PosY, &key.PosZ, &key.RotW,
                            &key.RotX, &key.RotY, &key.RotZ, &key.Scale};
    return Scan_Floats(slots, 9);
}

static bool Scan_Euler_Key(AnimKey& key) {
    float* const slots[] = {&key.Time, &key.PosX, &key.PosY, &key.PosZ,
                            &key.RotX, &key.RotY, &key.RotZ, &key.Scale};
    return Scan_Floats(slots, 8);
}

// Records are counted from 1 in messages, as lines are.
// `what` is a printf format for the two numbers that say what is wrong.
static std::int32_t Refuse_Record(std::int32_t line, std::int32_t record, const char* what, std::int32_t a,
                                  std::int32_t b = 0) {
    std::printf("\n[Load_from_File___Animation_Keys] ERROR: Line %d, bone record %d: ", line, record + 1);
    std::printf(what, a, b);
    std::printf("\n");
    return -3;
}

// Without a known format no key is read and the driver stops before building, so records are only
// counted: refusing one of them would hide the clearer message about the format.
static bool Format_Is_Known() {
    return IsQuaternionFormat || IsEulerFormat;
}

// Name line, key count and keys of record r.
static std::int32_t Load_Bone_Record(std::int32_t r) {
    AnimBone& bone = AnimBones[r];
    const std::int32_t nameLine = Scanner.Line;
    LineBuffer[0] = '\0';
    Scan_Line(Scanner, LineBuffer, kKeyLineSize);
    const std::size_t length = std::strlen(LineBuffer);
    if (length >= kNamePrefix + kNameSuffix) {
        const std::size_t nameLength = length - kNamePrefix - kNameSuffix;
        std::memcpy(bone.Name, LineBuffer + kNamePrefix, nameLength);
        bone.Name[nameLength] = '\0';
    } else if (Format_Is_Known()) {
        return Refuse_Record(nameLine, r, "the name line holds %d characters, fewer than the %d it needs!",
                             static_cast<std::int32_t>(length),
                             static_cast<std::int32_t>(kNamePrefix + kNameSuffix));
    }

    const std::int32_t countLine = Scanner.Line;
    if (Scan_Int(Scanner, &bone.NumKeys)) Scan_Skip_Space(Scanner);
    if (Format_Is_Known() && (bone.NumKeys < 0 || static_cast<std::uint32_t>(bone.NumKeys) > kMaxKeys)) {
        const std::int32_t refused = bone.NumKeys;
        // A refused count must not stay in the table, where any later reader would index past its keys.
        bone.NumKeys = 0;
        return Refuse_Record(countLine, r, "Variable 'NumKeys=%d' is out of limits (0 to %d)!", refused,
                             static_cast<std::int32_t>(kMaxKeys));
    }
    const std::int32_t keys = Format_Is_Known() ? bone.NumKeys : 0;
    for (std::int32_t k = 0; k < keys; ++k) {
        // A failed number stops on its character, so every later read of this bone stops there too.
        if (IsQuaternionFormat) Scan_Quaternion_Key(bone.Keys[k]);
        if (IsEulerFormat) Scan_Euler_Key(bone.Keys[k]);
    }
    return 0;
}

std::int32_t Load_from_File___Animation_Keys() {
    std::printf("Loading ANIMATION KEYS from '%s' to Memory: ", AnimationKeysFileName);
    Scanner_Open(Scanner, AnimationKeysFile);
    std::memset(LineBuffer, 0, sizeof LineBuffer);
    Scan_Line(Scanner, LineBuffer, kKeyLineSize);
    IsQuaternionFormat = std::strstr(LineBuffer, "Quaternions") != nullptr;
    IsEulerFormat = std::strstr(LineBuffer, "Euler") != nullptr;
    if (Scan_Float(Scanner, &AnimDuration)) Scan_Skip_Space(Scanner);
    if (Scan_At_Eof(Scanner)) {
        std::printf("<done>\n");
        return -1;
    }
    std::int32_t records = 0;
    while (!Scan_At_Eof(Scanner)) {
        if (records == static_cast<std::int32_t>(kMaxBoneRecords)) {
            if (!Format_Is_Known()) break;
            return Refuse_Record(Scanner.Line, records, "the file holds more than the %d records that fit!",
                                 static_cast<std::int32_t>(kMaxBoneRecords));
        }
        if (Load_Bone_Record(records) < 0) return -3;
        ++records;
    }
    std::printf("<done>\n");
    return records - 1;
}

void Reset_Anim_Keys() {
    IsQuaternionFormat = IsEulerFormat = 0;
    AnimDuration = 0;
    std::memset(AnimBones, 0, sizeof AnimBones);
    NumAnimBones = 0;
}
