// The sequence settings: a sequence's name, cycle, timing, accumulation root, text keys and bone
// priorities, which the key file has no place for. They travel in a small text file beside the key
// file, read before the blocks are built (or filled from a .kf, and written as that text).
#pragma once

#include <cstdint>
#include <cstdio>

#include "capacities.h"

// Opened and closed by the driver, in binary mode: the reader takes CR LF itself.
extern std::FILE* SequenceSettingsFile;
extern char SequenceSettingsFileName[kFileNameSize];
// Opened and closed by the program that writes sequence files.
extern std::FILE* OutputSequenceFile;
extern char OutputSequenceFileName[kFileNameSize];

// The settings of one line each, in the order they are written. Text keys and priorities may be
// given on many lines; `Text keys none` is a setting of its own.
enum SequenceSetting {
    kSettingName,
    kSettingCycle,
    kSettingFrequency,
    kSettingWeight,
    kSettingStart,
    kSettingStop,
    kSettingAccumRoot,
    kSettingTextKey,
    kSettingTextKeysNone,
    kSettingPriority,
    kNumSequenceSettings
};

enum AccumRootSetting : std::uint8_t { kAccumRootDefault, kAccumRootNone, kAccumRootText };

struct SequenceTextKey {
    float Time;
    char Text[kTextEntrySize];
    std::int64_t Line; // of the sequence file; 0 when filled from a .kf
};

struct SequencePriority {
    char Node[kTextEntrySize]; // every bone of this node name
    std::uint8_t Priority;
    std::int64_t Line;
};

extern std::uint8_t SequenceSettings_Loaded; // a sequence file was read (or a .kf's sequence filled in)
extern std::uint8_t SequenceSettings_Given[kNumSequenceSettings];
extern std::int64_t SequenceSettings_Line[kNumSequenceSettings]; // where each was given, for messages
extern char SequenceSettings_Name[kTextEntrySize];
extern std::uint32_t SequenceSettings_CycleType;
extern float SequenceSettings_Frequency;
extern float SequenceSettings_Weight;
extern float SequenceSettings_StartTime;
extern float SequenceSettings_StopTime;
extern AccumRootSetting SequenceSettings_AccumRoot;
extern char SequenceSettings_AccumRootName[kTextEntrySize]; // when kAccumRootText
extern std::uint32_t SequenceSettings_NumTextKeys;          // 0 .. kMaxKeys
extern SequenceTextKey SequenceSettings_TextKeys[kMaxKeys];
extern std::uint32_t SequenceSettings_NumPriorities; // 0 .. kMaxControlledBlocks
extern SequencePriority SequenceSettings_Priorities[kMaxControlledBlocks];

// What a setting that is not given stands for (the stop time is the key file's duration, the text
// keys "start" at 0 and "end" at the duration, every priority 0).
inline constexpr const char* kDefaultSequenceName = "SpecialIdle";
inline constexpr std::uint32_t kDefaultCycleType = 0;
inline constexpr float kDefaultFrequency = 1;
inline constexpr float kDefaultWeight = 1;
inline constexpr float kDefaultStartTime = 0;

// Reads SequenceSettingsFile into the settings after the key file has been read (priorities name
// nodes of AnimBones[0 .. NumAnimBones)). 0, or -3 after its message naming the line refused.
std::int32_t Load_from_File___Sequence_Settings();

// Writes the settings to OutputSequenceFile, those not given as the converter takes them for the
// bone table (the stop time AnimDuration, the text keys "start" and "end"); `keyFilePart` names the
// key file in the first line. 0, or -3 after its message when a write failed.
std::int32_t Save_to_File___Sequence_Settings(const char* keyFilePart);

// The stop time the sequence gets: the one given, else AnimDuration.
float Sequence_Stop_Time();
// The text keys the sequence gets: those given (none for `Text keys none`), else "start" at 0 and
// "end" at AnimDuration. Their count; `keys` points at the first.
std::uint32_t Sequence_Text_Keys(const SequenceTextKey** keys);
// True when a bone before bone b has its name: a node's priority is that of its first bone.
bool Named_by_Earlier_Bone(std::int32_t b);
// The priority the settings give node `name`: 0 when none does.
std::uint8_t Sequence_Priority_for(const char* name);

// True when the settings hold anything the converter would not take by default for the bone table:
// then a sequence file must go with its key file.
bool Sequence_Settings_Needed();

// Back to the state of program start: nothing loaded, nothing given, every value its default.
void Reset_Sequence_Settings();
