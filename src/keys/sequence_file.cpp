// The sequence file's reader and, beside it, its writer. Both go through one table of the settings:
// the keyword, how its values are read, how they are written, so a setting is added in one place.
// The reader refuses anything it cannot read exactly, with the line, and reads nothing unbounded.
#include "keys/sequence_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "keys/anim_keys.h"
#include "keys/number_text.h"
#include "keys/sequence_values.h"

std::FILE* SequenceSettingsFile;
char SequenceSettingsFileName[kFileNameSize];
std::FILE* OutputSequenceFile;
char OutputSequenceFileName[kFileNameSize];

std::uint8_t SequenceSettings_Loaded;
std::uint8_t SequenceSettings_Given[kNumSequenceSettings];
std::int64_t SequenceSettings_Line[kNumSequenceSettings];
// What is not given holds its default from the start, so that the converter takes the tables as they
// stand whether a file was read or not.
char SequenceSettings_Name[kTextEntrySize] = "SpecialIdle";
std::uint32_t SequenceSettings_CycleType = kDefaultCycleType;
float SequenceSettings_Frequency = kDefaultFrequency;
float SequenceSettings_Weight = kDefaultWeight;
float SequenceSettings_StartTime = kDefaultStartTime;
float SequenceSettings_StopTime;
AccumRootSetting SequenceSettings_AccumRoot = kAccumRootDefault;
char SequenceSettings_AccumRootName[kTextEntrySize];
std::uint32_t SequenceSettings_NumTextKeys;
SequenceTextKey SequenceSettings_TextKeys[kMaxKeys];
std::uint32_t SequenceSettings_NumPriorities;
SequencePriority SequenceSettings_Priorities[kMaxControlledBlocks];

namespace {

char LineBuffer[kSequenceLineSize];

struct SettingRow;

std::int32_t Read_Name(Cursor& in, const SettingRow&) {
    return Read_Text(in, SequenceSettings_Name);
}

const char* const kCycleWords[] = {"loop", "reverse", "clamp"};

std::int32_t Read_Cycle(Cursor& in, const SettingRow&) {
    if (At_Digit(in) || *in.At == '+' || *in.At == '-')
        return Read_Integer(in, 0xFFFFFFFFu, "the cycle type", &SequenceSettings_CycleType);
    const std::string word = Word(in);
    for (std::uint32_t c = 0; c < std::size(kCycleWords); ++c) {
        if (word == kCycleWords[c]) {
            SequenceSettings_CycleType = c;
            return 0;
        }
    }
    return Refuse("the cycle is loop, reverse, clamp or a whole number, not " + Quoted(word));
}

std::int32_t Read_Number_Setting(Cursor& in, const SettingRow& row);

std::int32_t Read_Accum_Root(Cursor& in, const SettingRow&) {
    if (in.At != in.End && *in.At != '"') {
        if (Word(in) != "none") return Refuse("the accumulation root is a text in double quotes or none");
        SequenceSettings_AccumRoot = kAccumRootNone;
        return 0;
    }
    SequenceSettings_AccumRoot = kAccumRootText;
    return Read_Text(in, SequenceSettings_AccumRootName);
}

const char* const kTextKeysTogether = "'Text key' and 'Text keys none' are given together";

std::int32_t Read_Text_Key(Cursor& in, const SettingRow&) {
    if (SequenceSettings_Given[kSettingTextKeysNone]) return Refuse(kTextKeysTogether);
    if (SequenceSettings_NumTextKeys == kMaxKeys)
        return Refuse("more text keys than the " + std::to_string(kMaxKeys) + " the table holds");
    SequenceTextKey& key = SequenceSettings_TextKeys[SequenceSettings_NumTextKeys];
    key.Line = Sequence_File_Line;
    if (Read_Number(in, &key.Time) < 0) return -3;
    if (!At_Blank(in)) return Refuse("a text in double quotes is expected after the time");
    Skip_Blanks(in);
    if (Read_Text(in, key.Text) < 0) return -3;
    ++SequenceSettings_NumTextKeys;
    return 0;
}

std::int32_t Read_Text_Keys_None(Cursor& in, const SettingRow&) {
    if (Word(in) != "none") return Refuse("'Text keys' is followed by none alone");
    return SequenceSettings_NumTextKeys != 0 ? Refuse(kTextKeysTogether) : 0;
}

bool Is_Bone_Name(const char* name) {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (std::strcmp(AnimBones[b].Name, name) == 0) return true;
    }
    return false;
}

std::int32_t Read_Priority(Cursor& in, const SettingRow&) {
    if (SequenceSettings_NumPriorities == kMaxControlledBlocks)
        return Refuse("more priorities than the " + std::to_string(kMaxControlledBlocks) +
                      " the table holds");
    SequencePriority& entry = SequenceSettings_Priorities[SequenceSettings_NumPriorities];
    entry.Line = Sequence_File_Line;
    if (Read_Text(in, entry.Node) < 0) return -3;
    if (!Is_Bone_Name(entry.Node))
        return Refuse("a priority for " + Quoted(entry.Node) + ", a node the key file does not hold");
    for (std::uint32_t p = 0; p < SequenceSettings_NumPriorities; ++p) {
        if (std::strcmp(SequenceSettings_Priorities[p].Node, entry.Node) == 0)
            return Refuse(Quoted(entry.Node) + " is given a priority on line " +
                          std::to_string(SequenceSettings_Priorities[p].Line) + " too");
    }
    if (!At_Blank(in)) return Refuse("a priority is expected after the node name");
    Skip_Blanks(in);
    std::uint32_t priority = 0;
    if (Read_Integer(in, std::numeric_limits<std::uint8_t>::max(), "the priority", &priority) < 0) return -3;
    entry.Priority = static_cast<std::uint8_t>(priority);
    ++SequenceSettings_NumPriorities;
    return 0;
}

// Each writes its setting's lines, each line beginning with the row's keyword and a space.
std::string& Line_of(std::string& out, const SettingRow& row);

void Write_Name(std::string& out, const SettingRow& row) {
    Put_Text(Line_of(out, row), SequenceSettings_Name);
    out += '\n';
}

void Write_Cycle(std::string& out, const SettingRow& row) {
    const std::uint32_t cycle = SequenceSettings_CycleType;
    Line_of(out, row) += cycle < std::size(kCycleWords) ? kCycleWords[cycle] : std::to_string(cycle);
    out += '\n';
}

void Write_Number_Setting(std::string& out, const SettingRow& row);

// A duration that is not finite has no text the reader takes; the converter takes it from the key file.
void Write_Stop(std::string& out, const SettingRow& row) {
    if (!std::isfinite(Sequence_Stop_Time())) return;
    Put_Number(Line_of(out, row), Sequence_Stop_Time());
    out += '\n';
}

void Write_Accum_Root(std::string& out, const SettingRow& row) {
    if (SequenceSettings_AccumRoot == kAccumRootNone) Line_of(out, row) += "none\n";
    if (SequenceSettings_AccumRoot != kAccumRootText) return;
    Put_Text(Line_of(out, row), SequenceSettings_AccumRootName);
    out += '\n';
}

void Write_Text_Keys(std::string& out, const SettingRow& row) {
    const SequenceTextKey* keys = nullptr;
    const std::uint32_t count = Sequence_Text_Keys(&keys);
    for (std::uint32_t k = 0; k < count; ++k) {
        Put_Number(Line_of(out, row), keys[k].Time);
        Put_Text(out += ' ', keys[k].Text);
        out += '\n';
    }
}

void Write_Text_Keys_None(std::string& out, const SettingRow& row) {
    if (SequenceSettings_Given[kSettingTextKeysNone]) Line_of(out, row) += "none\n";
}

// In bone order, each node name once.
void Write_Priorities(std::string& out, const SettingRow& row) {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const char* name = AnimBones[b].Name;
        const std::uint8_t priority = Sequence_Priority_for(name);
        if (Named_by_Earlier_Bone(b) || priority == 0) continue;
        Put_Text(Line_of(out, row), name);
        out += ' ' + std::to_string(priority) + '\n';
    }
}

// ---- the one table of the settings, in the order they are written --------------------------------

struct SettingRow {
    const char* Keyword; // followed by a space or a tab, then the values
    SequenceSetting Setting;
    std::int32_t (*Read)(Cursor& in, const SettingRow& row); // 0, or -3 after its message
    void (*Write)(std::string& out, const SettingRow& row);
    float* Number; // of a setting that is one number
};

const SettingRow kSettings[] = {
    {"Name", kSettingName, Read_Name, Write_Name, nullptr},
    {"Cycle", kSettingCycle, Read_Cycle, Write_Cycle, nullptr},
    {"Frequency", kSettingFrequency, Read_Number_Setting, Write_Number_Setting, &SequenceSettings_Frequency},
    {"Weight", kSettingWeight, Read_Number_Setting, Write_Number_Setting, &SequenceSettings_Weight},
    {"Start", kSettingStart, Read_Number_Setting, Write_Number_Setting, &SequenceSettings_StartTime},
    {"Stop", kSettingStop, Read_Number_Setting, Write_Stop, &SequenceSettings_StopTime},
    {"Accumulation root", kSettingAccumRoot, Read_Accum_Root, Write_Accum_Root, nullptr},
    {"Text key", kSettingTextKey, Read_Text_Key, Write_Text_Keys, nullptr},
    {"Text keys", kSettingTextKeysNone, Read_Text_Keys_None, Write_Text_Keys_None, nullptr},
    {"Priority", kSettingPriority, Read_Priority, Write_Priorities, nullptr},
};
static_assert(std::size(kSettings) == kNumSequenceSettings, "one row per setting");

std::int32_t Read_Number_Setting(Cursor& in, const SettingRow& row) {
    return Read_Number(in, row.Number);
}

void Write_Number_Setting(std::string& out, const SettingRow& row) {
    Put_Number(Line_of(out, row), *row.Number);
    out += '\n';
}

std::string& Line_of(std::string& out, const SettingRow& row) {
    return out.append(row.Keyword).append(1, ' ');
}

bool Given_Once(SequenceSetting setting) {
    return setting != kSettingTextKey && setting != kSettingPriority;
}

const SettingRow* Find_Setting(Cursor& in) {
    for (const SettingRow& row : kSettings) {
        const std::size_t length = std::strlen(row.Keyword);
        if (static_cast<std::size_t>(in.End - in.At) < length || std::memcmp(in.At, row.Keyword, length) != 0)
            continue;
        const Cursor after{in.At + length, in.End};
        if (after.At == after.End || At_Blank(after)) {
            in = after;
            return &row;
        }
    }
    return nullptr;
}

std::int32_t Load_Setting_Line(Cursor in) {
    Skip_Blanks(in);
    if (in.At == in.End || *in.At == '#') return 0;
    const SettingRow* row = Find_Setting(in);
    if (row == nullptr) return Refuse("unknown setting " + Quoted(Word(in)));
    const SequenceSetting setting = row->Setting;
    if (Given_Once(setting) && SequenceSettings_Given[setting])
        return Refuse(Quoted(row->Keyword) + " is given on line " +
                      std::to_string(SequenceSettings_Line[setting]) + " too");
    Skip_Blanks(in);
    if (in.At == in.End) return Refuse(Quoted(row->Keyword) + " is given no value");
    if (row->Read(in, *row) < 0) return -3;
    Skip_Blanks(in);
    if (in.At != in.End) return Refuse(Quoted(Word(in)) + " follows the value");
    if (!SequenceSettings_Given[setting]) SequenceSettings_Line[setting] = Sequence_File_Line;
    SequenceSettings_Given[setting] = 1;
    return 0;
}

// The next line into LineBuffer without its line end (LF, or CR LF): its length, -1 at the end of the
// file, -2 when it does not fit, -3 when a read failed.
std::int64_t Read_Line() {
    std::size_t length = 0;
    int c = 0;
    while ((c = std::getc(SequenceSettingsFile)) != EOF && c != '\n') {
        if (length == sizeof LineBuffer) return -2;
        LineBuffer[length++] = static_cast<char>(c);
    }
    if (c == EOF && std::ferror(SequenceSettingsFile)) return -3;
    if (c == EOF && length == 0) return -1;
    if (c == '\n' && length != 0 && LineBuffer[length - 1] == '\r') --length;
    return static_cast<std::int64_t>(length);
}

} // namespace

std::int32_t Load_from_File___Sequence_Settings() {
    std::printf("Loading SEQUENCE settings from '%s' to Memory: ", SequenceSettingsFileName);
    Reset_Sequence_Settings();
    for (Sequence_File_Line = 1;; ++Sequence_File_Line) {
        const std::int64_t length = Read_Line();
        if (length == -1) break;
        if (length == -3) {
            std::printf(
                "\n[Load_from_File___Sequence_Settings] ERROR: Cannot read '%s': the read failed at line "
                "%lld!\n",
                SequenceSettingsFileName, static_cast<long long>(Sequence_File_Line));
            return -3;
        }
        if (length == -2)
            return Refuse("the line is longer than the " + std::to_string(kSequenceLineSize) +
                          " bytes read here");
        Cursor in{LineBuffer, LineBuffer + length};
        // A byte-order mark, as editors write it at the start of a UTF-8 file.
        if (Sequence_File_Line == 1 && length >= 3 && std::memcmp(LineBuffer, "\xEF\xBB\xBF", 3) == 0)
            in.At += 3;
        if (Load_Setting_Line(in) < 0) return -3;
    }
    SequenceSettings_Loaded = 1;
    std::printf("<done>\n");
    return 0;
}

std::int32_t Save_to_File___Sequence_Settings(const char* keyFilePart) {
    std::string out = "# Sequence settings for ";
    for (const char* c = keyFilePart; *c != '\0' && *c != '\n'; ++c)
        out += *c;
    out += '\n';
    for (const SettingRow& row : kSettings)
        row.Write(out, row);
    if (std::fwrite(out.data(), 1, out.size(), OutputSequenceFile) != out.size() ||
        std::fflush(OutputSequenceFile) != 0 || std::ferror(OutputSequenceFile)) {
        std::printf(
            "\n[Save_to_File___Sequence_Settings] ERROR: Cannot write '%s' (disk full or no access)!\n",
            OutputSequenceFileName);
        return -3;
    }
    return 0;
}

// ---- the settings as the converter takes them ----------------------------------------------------

float Sequence_Stop_Time() {
    return SequenceSettings_Given[kSettingStop] ? SequenceSettings_StopTime : AnimDuration;
}

std::uint32_t Sequence_Text_Keys(const SequenceTextKey** keys) {
    static SequenceTextKey defaults[2] = {{0, "start", 0}, {0, "end", 0}};
    defaults[1].Time = AnimDuration;
    const bool given =
        SequenceSettings_Given[kSettingTextKey] || SequenceSettings_Given[kSettingTextKeysNone];
    *keys = given ? SequenceSettings_TextKeys : defaults;
    return given ? SequenceSettings_NumTextKeys : 2;
}

bool Named_by_Earlier_Bone(std::int32_t b) {
    for (std::int32_t other = 0; other < b; ++other) {
        if (std::strcmp(AnimBones[other].Name, AnimBones[b].Name) == 0) return true;
    }
    return false;
}

std::uint8_t Sequence_Priority_for(const char* name) {
    for (std::uint32_t p = 0; p < SequenceSettings_NumPriorities; ++p) {
        if (std::strcmp(SequenceSettings_Priorities[p].Node, name) == 0)
            return SequenceSettings_Priorities[p].Priority;
    }
    return 0;
}

// Compared bit for bit: a start at -0 is written as such.
static bool Same(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool Sequence_Settings_Needed() {
    const SequenceTextKey* keys = nullptr;
    const bool defaultTextKeys = Sequence_Text_Keys(&keys) == 2 && std::strcmp(keys[0].Text, "start") == 0 &&
                                 Same(keys[0].Time, 0) && std::strcmp(keys[1].Text, "end") == 0 &&
                                 Same(keys[1].Time, AnimDuration);
    bool priorities = false;
    for (std::uint32_t p = 0; p < SequenceSettings_NumPriorities; ++p)
        priorities = priorities || SequenceSettings_Priorities[p].Priority != 0;
    return std::strcmp(SequenceSettings_Name, kDefaultSequenceName) != 0 ||
           SequenceSettings_CycleType != kDefaultCycleType ||
           !Same(SequenceSettings_Frequency, kDefaultFrequency) ||
           !Same(SequenceSettings_Weight, kDefaultWeight) ||
           !Same(SequenceSettings_StartTime, kDefaultStartTime) ||
           !Same(Sequence_Stop_Time(), AnimDuration) || SequenceSettings_AccumRoot != kAccumRootDefault ||
           !defaultTextKeys || priorities;
}

void Reset_Sequence_Settings() {
    SequenceSettings_Loaded = 0;
    std::memset(SequenceSettings_Given, 0, sizeof SequenceSettings_Given);
    std::memset(SequenceSettings_Line, 0, sizeof SequenceSettings_Line);
    std::snprintf(SequenceSettings_Name, sizeof SequenceSettings_Name, "%s", kDefaultSequenceName);
    SequenceSettings_CycleType = kDefaultCycleType;
    SequenceSettings_Frequency = kDefaultFrequency;
    SequenceSettings_Weight = kDefaultWeight;
    SequenceSettings_StartTime = kDefaultStartTime;
    SequenceSettings_StopTime = 0;
    SequenceSettings_AccumRoot = kAccumRootDefault;
    std::memset(SequenceSettings_AccumRootName, 0, sizeof SequenceSettings_AccumRootName);
    SequenceSettings_NumTextKeys = 0;
    std::memset(SequenceSettings_TextKeys, 0, sizeof SequenceSettings_TextKeys);
    SequenceSettings_NumPriorities = 0;
    std::memset(SequenceSettings_Priorities, 0, sizeof SequenceSettings_Priorities);
}
