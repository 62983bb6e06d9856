// The key-file reader, and its mirror the writer. The reader reads as the C library's fgets and fscanf
// would, so files written for the tool's earlier builds keep their meaning, malformed numbers
// included; the writer writes what it reads back to the same bits.
#include "keys/anim_keys.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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
std::int32_t AnimKeys_NumWarnings;

static KeyScanner Scanner;
// Records a load wrote into since the last reset, the one it stopped in included.
static std::int32_t RecordsWritten;
static char LineBuffer[kKeyLineSize];

// Without a known format no key is read and the driver stops before building, so records are only
// counted: refusing one of them would hide the clearer message about the format.
static bool Format_Is_Known() {
    return IsQuaternionFormat || IsEulerFormat;
}

// The first number that could not be read. Its zeros would reach the output as a collapsed bone, so it
// is refused once the file shows that it fell on the duration or on a converted record; the last record
// is never converted, and a short read there changes nothing.
static struct {
    bool Happened;
    std::int32_t Line, Record, Key; // Record -1: the duration; Key -1: the key count
    std::string Word;
} ShortRead;

static void Note_Short_Read(std::int32_t record, std::int32_t key) {
    if (!ShortRead.Happened && Format_Is_Known())
        ShortRead = {true, Scanner.TokenLine, record, key, Scan_Token_Word(Scanner)};
}

// Reads numbers as one fscanf pattern "%f %f ... %f\n": the first that fails ends the pattern, and
// only a complete pattern skips the white space after it. `line` takes the line of the first number
// unless it holds one already.
template <typename Slots>
static bool Scan_Key(AnimKey& key, std::int32_t& line, const Slots& slots) {
    for (float AnimKey::*slot : slots) {
        const bool read = Scan_Float(Scanner, &(key.*slot));
        if (line == 0) line = Scanner.TokenLine;
        if (!read) return false;
    }
    Scan_Skip_Space(Scanner);
    return true;
}

// A name of numbers alone is most likely a key line read as a name line: the record before counts fewer
// keys than it holds.
static bool Looks_Like_Key_Line(const char* name) {
    bool digit = false;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            digit = true;
        } else if (std::strchr(".+-eE \t\n\v\f\r", *c) == nullptr) {
            return false;
        }
    }
    return digit;
}

// What a name line that looks like a key line in record r tells; "" when it does not look like one.
static std::string Key_Line_As_Name(std::int32_t r) {
    if (r < 1 || !Looks_Like_Key_Line(AnimBones[r].Name)) return "";
    const AnimBone& before = AnimBones[r - 1];
    return "the name line looks like a key line: the key count " + std::to_string(before.NumKeys) +
           " of bone record " + std::to_string(r) + " (line " + std::to_string(before.NameLine) +
           ") is likely smaller than its keys";
}

// A read that failed cut the text short wherever it fell, so whatever went wrong after it, it is the
// one reported.
static std::int32_t Refuse_Failed_Read() {
    std::printf("\n[Load_from_File___Animation_Keys] ERROR: Cannot read '%s': the read failed at line %d!\n",
                AnimationKeysFileName, Scanner.Line);
    return -3;
}

// Lines and records are counted from 1 in messages.
static std::int32_t Refuse(std::int32_t line, const std::string& what) {
    if (Scanner.ReadFailed) return Refuse_Failed_Read();
    std::printf("\n[Load_from_File___Animation_Keys] ERROR: Line %d, %s\n", line, what.c_str());
    return -3;
}

static std::int32_t Refuse_Short_Read() {
    const std::string found = ShortRead.Word.empty() ? "the end of the file" : "'" + ShortRead.Word + "'";
    std::string where = "duration", cause;
    if (ShortRead.Record >= 0) {
        where = "bone record " + std::to_string(ShortRead.Record + 1) + " '" +
                AnimBones[ShortRead.Record].Name +
                (ShortRead.Key < 0 ? "', key count" : "', key " + std::to_string(ShortRead.Key + 1));
        cause = Key_Line_As_Name(ShortRead.Record);
    }
    return Refuse(ShortRead.Line,
                  where + ": " + found + " is not a number" + (cause.empty() ? "" : ": ") + cause + "!");
}

// A number that could not be read earlier is the cause of whatever goes wrong after it, so it is the
// one reported.
static std::int32_t Refuse_Record(std::int32_t line, std::int32_t record, const std::string& what) {
    if (ShortRead.Happened) return Refuse_Short_Read();
    return Refuse(line, "bone record " + std::to_string(record + 1) + ": " + what);
}

// Name line, key count and keys of record r.
static std::int32_t Load_Bone_Record(std::int32_t r) {
    AnimBone& bone = AnimBones[r];
    RecordsWritten = std::max(RecordsWritten, r + 1);
    bone.NameLine = Scanner.Line;
    LineBuffer[0] = '\0';
    Scan_Line(Scanner, LineBuffer, kKeyLineSize);
    const std::size_t length = std::strlen(LineBuffer);
    if (length >= kNamePrefix + kNameSuffix) {
        const std::size_t nameLength = length - kNamePrefix - kNameSuffix;
        std::memcpy(bone.Name, LineBuffer + kNamePrefix, nameLength);
        bone.Name[nameLength] = '\0';
    } else if (Format_Is_Known()) {
        return Refuse_Record(bone.NameLine, r,
                             "the name line holds " + std::to_string(length) +
                                 " characters, fewer than the " + std::to_string(kNamePrefix + kNameSuffix) +
                                 " it needs!");
    }

    const std::int32_t countLine = Scanner.Line;
    if (Scan_Int(Scanner, &bone.NumKeys)) {
        Scan_Skip_Space(Scanner);
    } else {
        Note_Short_Read(r, -1);
    }
    if (Format_Is_Known() && (bone.NumKeys < 0 || static_cast<std::uint32_t>(bone.NumKeys) > kMaxKeys)) {
        const std::int32_t refused = bone.NumKeys;
        // A refused count must not stay in the table, where any later reader would index past its keys.
        bone.NumKeys = 0;
        return Refuse_Record(countLine, r,
                             "Variable 'NumKeys=" + std::to_string(refused) + "' is out of limits (0 to " +
                                 std::to_string(kMaxKeys) + ")!");
    }
    const std::int32_t keys = Format_Is_Known() ? bone.NumKeys : 0;
    for (std::int32_t k = 0; k < keys; ++k) {
        // A failed number stops on its character, so every later read of this bone stops there too.
        std::int32_t& line = bone.KeyLines[k] = 0;
        if (IsQuaternionFormat && !Scan_Key(bone.Keys[k], line, kQuaternionKeySlots)) Note_Short_Read(r, k);
        if (IsEulerFormat && !Scan_Key(bone.Keys[k], line, kEulerKeySlots)) Note_Short_Read(r, k);
    }
    return 0;
}

// A name that begins or ends with a double quote or white space has a name line with a character too
// many or too few at that end.
static void Warn_About_Name_End(std::int32_t record, char c, const char* verb, const char* end) {
    const bool space = c == ' ' || (c >= '\t' && c <= '\r');
    if (c != '"' && !space) return;
    ++AnimKeys_NumWarnings;
    std::printf("WARNING: Line %d, bone record %d: the node name '%s' %s with %s: its name line has a "
                "character too many or too few at its %s\n",
                AnimBones[record].NameLine, record + 1, AnimBones[record].Name, verb,
                space ? "white space" : "a double quote", end);
}

static void Warn_About_Mistypes(std::int32_t records) {
    for (std::int32_t r = 0; r + 1 < records; ++r) {
        const char* name = AnimBones[r].Name;
        if (name[0] == '\0') continue;
        Warn_About_Name_End(r, name[0], "begins", "start");
        Warn_About_Name_End(r, name[std::strlen(name) - 1], "ends", "end");
        const std::string cause = Key_Line_As_Name(r);
        if (!cause.empty()) {
            ++AnimKeys_NumWarnings;
            std::printf("WARNING: Line %d, bone record %d '%s': %s\n", AnimBones[r].NameLine, r + 1, name,
                        cause.c_str());
        }
    }
    const AnimBone& last = AnimBones[records - 1];
    if (last.NumKeys <= 0) return;
    ++AnimKeys_NumWarnings;
    std::printf("WARNING: Line %d, bone record %d '%s' holds %d keys but is not converted: a key file ends "
                "with one record more than its bones, such as 'End of keys' with 0 keys\n",
                last.NameLine, records, last.Name, last.NumKeys);
}

std::int32_t Load_from_File___Animation_Keys() {
    std::printf("Loading ANIMATION KEYS from '%s' to Memory: ", AnimationKeysFileName);
    Scanner_Open(Scanner, AnimationKeysFile);
    ShortRead = {};
    AnimKeys_NumWarnings = 0;
    std::memset(LineBuffer, 0, sizeof LineBuffer);
    Scan_Line(Scanner, LineBuffer, kKeyLineSize);
    IsQuaternionFormat = std::strstr(LineBuffer, "Quaternions") != nullptr;
    IsEulerFormat = std::strstr(LineBuffer, "Euler") != nullptr;
    if (Scan_Float(Scanner, &AnimDuration)) {
        Scan_Skip_Space(Scanner);
    } else {
        Note_Short_Read(-1, -1);
    }
    if (Scanner.ReadFailed) return Refuse_Failed_Read();
    if (Scan_At_Eof(Scanner)) {
        std::printf("<done>\n");
        return -1;
    }
    std::int32_t records = 0;
    while (!Scan_At_Eof(Scanner)) {
        if (records == static_cast<std::int32_t>(kMaxBoneRecords)) {
            if (!Format_Is_Known()) break;
            return Refuse_Record(Scanner.Line, records,
                                 "the file holds more than the " + std::to_string(kMaxBoneRecords) +
                                     " records that fit!");
        }
        if (Load_Bone_Record(records) < 0) return -3;
        ++records;
    }
    // At least one record was read, so a short read in the duration (record -1) falls here too.
    if (Scanner.ReadFailed) return Refuse_Failed_Read();
    if (ShortRead.Happened && ShortRead.Record < records - 1) return Refuse_Short_Read();
    std::printf("<done>\n");
    if (Format_Is_Known()) Warn_About_Mistypes(records);
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

// A key line: the key's numbers in the reader's slot order.
template <typename Slots>
static void Put_Key(const AnimKey& key, const Slots& slots) {
    float values[std::size(kQuaternionKeySlots)];
    int count = 0;
    for (float AnimKey::*slot : slots)
        values[count++] = key.*slot;
    Put_Numbers(values, count);
}

static void Put_Bone_Record(const AnimBone& bone) {
    Put_Name_Line(bone.Name);
    Put_Count(bone.NumKeys);
    for (std::int32_t k = 0; k < bone.NumKeys; ++k) {
        if (IsQuaternionFormat) {
            Put_Key(bone.Keys[k], kQuaternionKeySlots);
        } else {
            Put_Key(bone.Keys[k], kEulerKeySlots);
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

// What both resets clear beside the records.
static void Reset_Format_and_Counts() {
    IsQuaternionFormat = IsEulerFormat = 0;
    AnimDuration = 0;
    NumAnimBones = 0;
    AnimKeys_NumWarnings = 0;
    RecordsWritten = 0;
}

void Reset_Anim_Keys() {
    std::memset(AnimBones, 0, sizeof AnimBones);
    Reset_Format_and_Counts();
}

void Reset_Loaded_Anim_Keys() {
    // A record's keys are read up to its count, which is checked against the table when keys are read
    // and changed by no one after the load.
    for (std::int32_t r = 0; r < RecordsWritten; ++r) {
        AnimBone& bone = AnimBones[r];
        const auto keys = std::clamp<std::int32_t>(bone.NumKeys, 0, kMaxKeys);
        std::memset(bone.Keys, 0, sizeof(AnimKey) * static_cast<std::size_t>(keys));
        std::memset(bone.KeyLines, 0, sizeof(std::int32_t) * static_cast<std::size_t>(keys));
        std::memset(bone.Name, 0, sizeof bone.Name);
        bone.NumKeys = bone.InterpolatorBlock = bone.NameString = bone.NameLine = 0;
    }
    Reset_Format_and_Counts();
}
