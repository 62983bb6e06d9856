// The sequence's own settings, for the sequence file: each field of the sequence just read that the
// key text has no place for, taken as the sequence file's reader would take it, with a problem line
// for what the file cannot hold.
#include "sample/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "check/problems.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "nif/nif_document.h"
#include "sample/records.h"

namespace {

// Copies string `index` into a setting's text (kTextEntrySize bytes). False after a problem line when
// the table lacks it; a line feed, which a line of the sequence file cannot hold, becomes a space.
bool Setting_Text(char* text, std::int32_t index, const std::string& what, const char* outcome) {
    const char* string = String_at(index);
    if (string == nullptr) {
        Note(-1, what + " is string " + std::to_string(index) +
                     ", which the string table does not hold: " + outcome);
        return false;
    }
    std::snprintf(text, kTextEntrySize, "%s", string);
    if (std::strchr(text, '\n') != nullptr) {
        std::replace(text, text + std::strlen(text), '\n', ' ');
        Note(-1, what + " holds a line feed: written as a space");
    }
    return true;
}

// A number the sequence file can hold; the default otherwise, after a problem line.
void Setting_Number(SequenceSetting setting, float* slot, float value, const char* what) {
    SequenceSettings_Given[setting] = std::isfinite(value);
    if (std::isfinite(value))
        *slot = value;
    else
        Note(-1,
             std::string("its ") + what + " is " + Number(value) + ": written as the converter's default");
}

// The converter finds the root "NPC Root [Root]" over any template only when a bone carries that name,
// which the converter adds to the strings it searches; any other root is written.
bool Root_Found_by_Default(std::int32_t root) {
    const char* text = String_at(root);
    if (text == nullptr || std::strcmp(text, kAccumRootName) != 0) return false;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (std::strcmp(AnimBones[b].Name, kAccumRootName) == 0) return true;
    }
    return false;
}

void Load_Accum_Root_Setting() {
    const std::int32_t root = ReadBack.Sequence.AccumRootName;
    SequenceSettings_Given[kSettingAccumRoot] = 1;
    if (Root_Found_by_Default(root)) {
        SequenceSettings_Given[kSettingAccumRoot] = 0;
    } else if (root == -1) {
        SequenceSettings_AccumRoot = kAccumRootNone;
    } else if (Setting_Text(SequenceSettings_AccumRootName, root, "its accumulation root",
                            "written as the converter's default")) {
        SequenceSettings_AccumRoot = kAccumRootText;
    }
}

// Every text key of the sequence's text-key block, in the file's order; none without a block.
void Load_Text_Key_Settings() {
    // A block that is not one, or does not read, has had its problem line.
    if (!ReadBack.TextKeysRead) return;
    for (std::uint32_t k = 0; k < ReadBack.TextKeys.NumTextKeys; ++k) {
        const TextKey& key = ReadBack.TextKeys.TextKeys[k];
        SequenceTextKey& setting = SequenceSettings_TextKeys[SequenceSettings_NumTextKeys];
        const std::string what = "its text key " + std::to_string(k + 1);
        if (!std::isfinite(key.Time))
            Note(-1, what + " is at " + Number(key.Time) + " s: skipped");
        else if (Setting_Text(setting.Text, key.Value, what, "skipped")) {
            setting.Time = key.Time;
            ++SequenceSettings_NumTextKeys;
        }
    }
    SequenceSettings_Given[SequenceSettings_NumTextKeys != 0 ? kSettingTextKey : kSettingTextKeysNone] = 1;
}

// Each node's priority, of its first bone, when it is not 0.
void Load_Priority_Settings() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const std::uint8_t priority = ReadBack.Sequence.ControlledBlocks[b].Priority;
        if (Named_by_Earlier_Bone(b) || priority == 0) continue;
        SequencePriority& setting = SequenceSettings_Priorities[SequenceSettings_NumPriorities++];
        static_assert(sizeof setting.Node == sizeof AnimBones[b].Name);
        std::memcpy(setting.Node, AnimBones[b].Name, sizeof setting.Node);
        setting.Priority = priority;
    }
}

} // namespace

void Load_Sequence_Settings() {
    Reset_Sequence_Settings();
    SequenceSettings_Loaded = 1;
    SequenceSettings_Given[kSettingName] = Setting_Text(SequenceSettings_Name, ReadBack.Sequence.Name,
                                                        "its name", "written as the converter's default");
    SequenceSettings_Given[kSettingCycle] = 1;
    SequenceSettings_CycleType = ReadBack.Sequence.CycleType;
    Setting_Number(kSettingFrequency, &SequenceSettings_Frequency, ReadBack.Sequence.Frequency, "frequency");
    Setting_Number(kSettingWeight, &SequenceSettings_Weight, ReadBack.Sequence.Weight, "weight");
    Setting_Number(kSettingStart, &SequenceSettings_StartTime, ReadBack.Sequence.StartTime, "start time");
    // The key file's duration is the stop time, whatever it holds.
    SequenceSettings_Given[kSettingStop] = 1;
    SequenceSettings_StopTime = ReadBack.Sequence.StopTime;
    Load_Accum_Root_Setting();
    Load_Text_Key_Settings();
    Load_Priority_Settings();
}
