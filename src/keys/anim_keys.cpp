// The key-file reader, and its mirror the writer. The reader reads as the C library's fgets and fscanf
// would, so files written for the tool's earlier builds keep their meaning, malformed numbers
// included; the writer writes what it reads back to the same bits.
#include "keys/anim_keys.h"

#include <cstring>
#include <string>

#include "keys/key_scanner.h"
#include "keys/number_text.h"

std::FILE* AnimationKeysFile;
char AnimationKeysFileName[kFileNameSize];
std::uint8_t IsQuaternionFormat;
std::uint8_t IsEulerFormat;
float AnimDuration;
AnimBone AnimBones[kMaxBoneRecords];
std::int32_t NumAnimBones;

static KeyScanner Scanner;
static char LineBuffer[kKeyLineSize];

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

// ---- writing: the reader's mirror ----------------------------------------------------------------

std::FILE* OutputKeysFile;
char OutputKeysFileName[kFileNameSize];

// The text goes out in large writes; the first failed one spoils the file.
static struct {
    char Data[64 * 1024];
    std::size_t Size;
    bool Failed;
} Text;

// A key line: nine numbers, their separators and the line feed.
inline constexpr std::size_t kKeyLineRoom = 9 * (kMaxFloatText + 1);

static void Flush_Text() {
    if (Text.Size != 0 && std::fwrite(Text.Data, 1, Text.Size, OutputKeysFile) != Text.Size)
        Text.Failed = true;
    Text.Size = 0;
}

// Where `bytes` more can be put (at most a name line or a key line).
static char* Room(std::size_t bytes) {
    if (Text.Size + bytes > sizeof Text.Data) Flush_Text();
    return Text.Data + Text.Size;
}

static void Put_Text(const char* text, std::size_t length) {
    std::memcpy(Room(length), text, length);
    Text.Size += length;
}

static void Put_Text(const char* text) {
    Put_Text(text, std::strlen(text));
}

// Numbers separated by one space, then the line feed.
static void Put_Numbers(const float* values, int count) {
    char* const start = Room(kKeyLineRoom);
    char* at = start;
    for (int i = 0; i < count; ++i) {
        if (i != 0) *at++ = ' ';
        at = Put_Float(at, values[i]);
    }
    *at++ = '\n';
    Text.Size += static_cast<std::size_t>(at - start);
}

static void Put_Count(std::int32_t count) {
    const std::string line = std::to_string(count) + "\n";
    Put_Text(line.data(), line.size());
}

// The name line the reader trims to `name`.
static_assert(sizeof "Bone name: \"" - 1 == kNamePrefix && sizeof "\";\n" - 1 == kNameSuffix);
static void Put_Name_Line(const char* name) {
    Put_Text("Bone name: \"");
    Put_Text(name);
    Put_Text("\";\n");
}

static void Put_Bone_Record(const AnimBone& bone) {
    Put_Name_Line(bone.Name);
    Put_Count(bone.NumKeys);
    for (std::int32_t k = 0; k < bone.NumKeys; ++k) {
        const AnimKey& key = bone.Keys[k];
        if (IsQuaternionFormat) {
            const float values[] = {key.Time, key.PosX, key.PosY, key.PosZ, key.RotW,
                                    key.RotX, key.RotY, key.RotZ, key.Scale};
            Put_Numbers(values, 9);
        } else {
            const float values[] = {key.Time, key.PosX, key.PosY, key.PosZ,
                                    key.RotX, key.RotY, key.RotZ, key.Scale};
            Put_Numbers(values, 8);
        }
    }
}

std::int32_t Save_to_File___Animation_Keys() {
    Text.Size = 0;
    Text.Failed = false;
    Put_Text(IsQuaternionFormat
                 ? "Rotations as Quaternions: time, position x y z, rotation w x y z, scale\n"
                 : "Rotations as Euler angles: time, position x y z, angles about x y z, scale\n");
    Put_Numbers(&AnimDuration, 1);
    for (std::int32_t b = 0; b < NumAnimBones; ++b)
        Put_Bone_Record(AnimBones[b]);
    // The reader never converts the last record.
    Put_Name_Line("End of keys");
    Put_Count(0);
    Flush_Text();
    if (Text.Failed || std::fflush(OutputKeysFile) != 0 || std::ferror(OutputKeysFile)) {
        std::printf("\n[Save_to_File___Animation_Keys] ERROR: Cannot write '%s' (disk full or no access)!\n",
                    OutputKeysFileName);
        return -3;
    }
    return 0;
}

void Reset_Anim_Keys() {
    IsQuaternionFormat = IsEulerFormat = 0;
    AnimDuration = 0;
    std::memset(AnimBones, 0, sizeof AnimBones);
    NumAnimBones = 0;
}
