// Appends the new blocks in their fixed order and serialises the interpolator, text-key and
// controller-sequence records, each serialiser beside its reader. Every failure of the assembly has
// printed its message when a negative result comes back.
#include "kf/sequence.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"
#include "nif/report.h"

float NiTransformInterpolator_Translation[3];
float NiTransformInterpolator_Rotation[4];
float NiTransformInterpolator_Scale;
std::int32_t NiTransformInterpolator_Data;

std::int32_t NiTextKeyExtraData_Name;
std::uint32_t NiTextKeyExtraData_NumTextKeys;
TextKey NiTextKeyExtraData_TextKeys[kMaxKeys];

std::int32_t NiControllerSequence_Name;
std::uint32_t NiControllerSequence_NumControlledBlocks;
std::uint32_t NiControllerSequence_ArrayGrowBy;
ControlledBlock NiControllerSequence_ControlledBlocks[kMaxControlledBlocks];
float NiControllerSequence_Weight;
std::int32_t NiControllerSequence_TextKeys;
std::uint32_t NiControllerSequence_CycleType;
float NiControllerSequence_Frequency;
float NiControllerSequence_StartTime;
float NiControllerSequence_StopTime;
std::int32_t NiControllerSequence_Manager;
std::int32_t NiControllerSequence_AccumRootName;
std::uint16_t NiControllerSequence_NumAnimNoteArrays;

static const std::string kTooManyTextKeys =
    "it holds more than the " + std::to_string(kMaxKeys) + " text keys read here";
static const std::string kTooManyControlledBlocks =
    "it holds more than the " + std::to_string(kMaxControlledBlocks) + " controlled blocks read here";

// ---- serialisers, each beside the reader that mirrors it field for field --------------------------

std::int32_t Save_to_Memory___NiTransformInterpolator() {
    if (NiTransformInterpolator_Data > static_cast<std::int32_t>(kMaxBlocks))
        return Report_Out_Of_Limits("Save_to_Memory___NiTransformInterpolator",
                                    "NiTransformInterpolator_Data",
                                    static_cast<std::uint32_t>(NiTransformInterpolator_Data));
    ByteWriter out = Open_Block_Body();
    for (float value : NiTransformInterpolator_Translation)
        Write_f32(out, value);
    for (float value : NiTransformInterpolator_Rotation)
        Write_f32(out, value);
    Write_f32(out, NiTransformInterpolator_Scale);
    Write_i32(out, NiTransformInterpolator_Data);
    return Close_Block_Body(out, "Save_to_Memory___NiTransformInterpolator");
}

std::int32_t Load_from_Memory___NiTransformInterpolator(ByteReader& in) {
    for (float& value : NiTransformInterpolator_Translation)
        value = Read_f32(in);
    for (float& value : NiTransformInterpolator_Rotation)
        value = Read_f32(in);
    NiTransformInterpolator_Scale = Read_f32(in);
    NiTransformInterpolator_Data = Read_i32(in);
    return Read_Whole(in) ? 0 : -3;
}

std::int32_t Save_to_Memory___NiTextKeyExtraData() {
    if (NiTextKeyExtraData_NumTextKeys > kMaxKeys)
        return Report_Out_Of_Limits("Save_to_Memory___NiTextKeyExtraData", "NiTextKeyExtraData_NumTextKeys",
                                    NiTextKeyExtraData_NumTextKeys);
    ByteWriter out = Open_Block_Body();
    Write_i32(out, NiTextKeyExtraData_Name);
    Write_u32(out, NiTextKeyExtraData_NumTextKeys);
    for (std::uint32_t k = 0; k < NiTextKeyExtraData_NumTextKeys; ++k) {
        Write_f32(out, NiTextKeyExtraData_TextKeys[k].Time);
        Write_i32(out, NiTextKeyExtraData_TextKeys[k].Value);
    }
    return Close_Block_Body(out, "Save_to_Memory___NiTextKeyExtraData");
}

std::int32_t Load_from_Memory___NiTextKeyExtraData(ByteReader& in) {
    NiTextKeyExtraData_Name = Read_i32(in);
    NiTextKeyExtraData_NumTextKeys = Read_Count(in, kMaxKeys, kTooManyTextKeys.c_str());
    for (std::uint32_t k = 0; k < NiTextKeyExtraData_NumTextKeys; ++k) {
        NiTextKeyExtraData_TextKeys[k].Time = Read_f32(in);
        NiTextKeyExtraData_TextKeys[k].Value = Read_i32(in);
    }
    return Read_Whole(in) ? 0 : -3;
}

static void Write_Controlled_Block(ByteWriter& out, const ControlledBlock& block) {
    Write_i32(out, block.Interpolator);
    Write_i32(out, block.Controller);
    Write_u8(out, block.Priority);
    Write_i32(out, block.NodeName);
    Write_i32(out, block.PropertyType);
    Write_i32(out, block.ControllerType);
    Write_i32(out, block.ControllerID);
    Write_i32(out, block.InterpolatorID);
}

static void Read_Controlled_Block(ByteReader& in, ControlledBlock& block) {
    block.Interpolator = Read_i32(in);
    block.Controller = Read_i32(in);
    block.Priority = Read_u8(in);
    block.NodeName = Read_i32(in);
    block.PropertyType = Read_i32(in);
    block.ControllerType = Read_i32(in);
    block.ControllerID = Read_i32(in);
    block.InterpolatorID = Read_i32(in);
}

std::int32_t Save_to_Memory___NiControllerSequence() {
    if (NiControllerSequence_NumControlledBlocks > kMaxControlledBlocks)
        return Report_Out_Of_Limits("Save_to_Memory___NiControllerSequence",
                                    "NiControllerSequence_NumControlledBlocks",
                                    NiControllerSequence_NumControlledBlocks);
    ByteWriter out = Open_Block_Body();
    Write_i32(out, NiControllerSequence_Name);
    Write_u32(out, NiControllerSequence_NumControlledBlocks);
    Write_u32(out, NiControllerSequence_ArrayGrowBy);
    for (std::uint32_t b = 0; b < NiControllerSequence_NumControlledBlocks; ++b) {
        Write_Controlled_Block(out, NiControllerSequence_ControlledBlocks[b]);
    }
    Write_f32(out, NiControllerSequence_Weight);
    Write_i32(out, NiControllerSequence_TextKeys);
    Write_u32(out, NiControllerSequence_CycleType);
    Write_f32(out, NiControllerSequence_Frequency);
    Write_f32(out, NiControllerSequence_StartTime);
    Write_f32(out, NiControllerSequence_StopTime);
    Write_i32(out, NiControllerSequence_Manager);
    Write_i32(out, NiControllerSequence_AccumRootName);
    Write_u16(out, NiControllerSequence_NumAnimNoteArrays);
    return Close_Block_Body(out, "Save_to_Memory___NiControllerSequence");
}

std::int32_t Load_from_Memory___NiControllerSequence(ByteReader& in) {
    NiControllerSequence_Name = Read_i32(in);
    NiControllerSequence_NumControlledBlocks =
        Read_Count(in, kMaxControlledBlocks, kTooManyControlledBlocks.c_str());
    NiControllerSequence_ArrayGrowBy = Read_u32(in);
    for (std::uint32_t b = 0; b < NiControllerSequence_NumControlledBlocks; ++b)
        Read_Controlled_Block(in, NiControllerSequence_ControlledBlocks[b]);
    NiControllerSequence_Weight = Read_f32(in);
    NiControllerSequence_TextKeys = Read_i32(in);
    NiControllerSequence_CycleType = Read_u32(in);
    NiControllerSequence_Frequency = Read_f32(in);
    NiControllerSequence_StartTime = Read_f32(in);
    NiControllerSequence_StopTime = Read_f32(in);
    NiControllerSequence_Manager = Read_i32(in);
    NiControllerSequence_AccumRootName = Read_i32(in);
    NiControllerSequence_NumAnimNoteArrays = Read_u16(in);
    // The converter writes none; another writer's note arrays are block references, passed over.
    for (std::uint32_t n = 0; n < NiControllerSequence_NumAnimNoteArrays; ++n)
        Read_i32(in);
    if (Read_Whole(in)) return 0;
    NiControllerSequence_NumControlledBlocks = 0;
    return -3;
}

// ---- assembly ------------------------------------------------------------------------------------

// Every block is appended the same way: its type registered first (by the caller, before its record
// takes strings), then its body created at the next index, serialised by `save`, and counted.
// The new block's index, or -3.
static std::int32_t Append_Block(std::uint32_t size, std::int32_t (*save)()) {
    const auto index = static_cast<std::int32_t>(Header_NumBlocks);
    if (AllocateRAM_forNifBlock(index, static_cast<std::int32_t>(size)) < 0 || save() < 0) return -3;
    ++Header_NumBlocks;
    return index;
}

// The transform data of bone b, then its interpolator.
static std::int32_t Append_Bone_Blocks(std::int32_t b) {
    if (AddNewNodeToHeader("NiTransformData") < 0) return -3;
    Fill_NiTransformData_from_Bone(b);
    const std::int32_t dataBlock =
        Append_Block(Calculate_Size___NiTransformData(), Save_to_Memory___NiTransformData);
    if (dataBlock < 0) return -3;

    if (AddNewNodeToHeader("NiTransformInterpolator") < 0) return -3;
    std::fill(std::begin(NiTransformInterpolator_Translation), std::end(NiTransformInterpolator_Translation),
              0.0f);
    const float identity[4] = {1, 0, 0, 0};
    std::copy(std::begin(identity), std::end(identity), std::begin(NiTransformInterpolator_Rotation));
    NiTransformInterpolator_Scale = 1;
    NiTransformInterpolator_Data = dataBlock;
    AnimBones[b].InterpolatorBlock =
        Append_Block(kInterpolatorSize, Save_to_Memory___NiTransformInterpolator);
    return AnimBones[b].InterpolatorBlock < 0 ? -3 : 0;
}

// A text of the sequence settings found in or added to the string table; when the table is full, the
// message names the line of the sequence file that gave it (line 0: a default, no file line).
static std::int32_t Setting_String(const char* text, std::int64_t line) {
    return Create_New_String_in_Header(text, line == 0 ? ""
                                                       : "the text on line " + std::to_string(line) +
                                                             " of '" + SequenceSettingsFileName + "'");
}

// The text keys of the settings, "start" and "end" by default. The text-key block's index, or -3.
static std::int32_t Append_Text_Keys() {
    if (AddNewNodeToHeader("NiTextKeyExtraData") < 0) return -3;
    NiTextKeyExtraData_Name = -1;
    const SequenceTextKey* keys = nullptr;
    NiTextKeyExtraData_NumTextKeys = Sequence_Text_Keys(&keys);
    for (std::uint32_t k = 0; k < NiTextKeyExtraData_NumTextKeys; ++k) {
        const std::int32_t text = Setting_String(keys[k].Text, keys[k].Line);
        if (text < 0) return -3;
        NiTextKeyExtraData_TextKeys[k] = {keys[k].Time, text};
    }
    return Append_Block(8 + 8 * NiTextKeyExtraData_NumTextKeys, Save_to_Memory___NiTextKeyExtraData);
}

std::int32_t Find_Accum_Root_Name() {
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i) {
        if (std::strcmp(Header_Strings[i], kAccumRootName) == 0) return static_cast<std::int32_t>(i);
    }
    return 0;
}

static std::int32_t Fill_Controlled_Blocks() {
    // More bones than the table holds are left to the serialiser's count check.
    const std::int32_t count = std::min<std::int32_t>(NumAnimBones, kMaxControlledBlocks);
    for (std::int32_t b = 0; b < count; ++b) {
        const std::int32_t controllerType = Create_New_String_in_Header("NiTransformController");
        if (controllerType < 0) return -3;
        NiControllerSequence_ControlledBlocks[b] = {AnimBones[b].InterpolatorBlock,
                                                    -1,
                                                    Sequence_Priority_for(AnimBones[b].Name),
                                                    AnimBones[b].NameString,
                                                    -1,
                                                    controllerType,
                                                    -1,
                                                    -1};
    }
    return 0;
}

static std::int32_t Append_Controller_Sequence(std::int32_t textKeysBlock) {
    if (AddNewNodeToHeader("NiControllerSequence") < 0) return -3;
    NiControllerSequence_Name = Setting_String(SequenceSettings_Name, SequenceSettings_Line[kSettingName]);
    if (NiControllerSequence_Name < 0) return -3;
    NiControllerSequence_NumControlledBlocks = static_cast<std::uint32_t>(NumAnimBones);
    NiControllerSequence_ArrayGrowBy = 1;
    if (Fill_Controlled_Blocks() < 0) return -3;
    NiControllerSequence_Weight = SequenceSettings_Weight;
    NiControllerSequence_TextKeys = textKeysBlock;
    NiControllerSequence_CycleType = SequenceSettings_CycleType;
    NiControllerSequence_Frequency = SequenceSettings_Frequency;
    NiControllerSequence_StartTime = SequenceSettings_StartTime;
    NiControllerSequence_StopTime = Sequence_Stop_Time();
    NiControllerSequence_Manager = -1;
    if (SequenceSettings_AccumRoot == kAccumRootText) {
        NiControllerSequence_AccumRootName =
            Setting_String(SequenceSettings_AccumRootName, SequenceSettings_Line[kSettingAccumRoot]);
        if (NiControllerSequence_AccumRootName < 0) return -3;
    } else {
        NiControllerSequence_AccumRootName =
            SequenceSettings_AccumRoot == kAccumRootNone ? -1 : Find_Accum_Root_Name();
    }
    NiControllerSequence_NumAnimNoteArrays = 0;
    const std::uint32_t size = 12 + kControlledBlockSize * NiControllerSequence_NumControlledBlocks + 34;
    return Append_Block(size, Save_to_Memory___NiControllerSequence) < 0 ? -3 : 0;
}

std::int32_t Create_All_KF_Blocks() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (Append_Bone_Blocks(b) < 0) return -3;
    }
    const std::int32_t textKeysBlock = Append_Text_Keys();
    if (textKeysBlock < 0) return -3;
    // Each bone gets an entry of its own, even when an equal name is already in the table.
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        AnimBones[b].NameString = Append_String_to_Header(AnimBones[b].Name);
        if (AnimBones[b].NameString < 0) return -3;
    }
    return Append_Controller_Sequence(textKeysBlock);
}

void Reset_Sequence() {
    std::fill(std::begin(NiTransformInterpolator_Translation), std::end(NiTransformInterpolator_Translation),
              0.0f);
    std::fill(std::begin(NiTransformInterpolator_Rotation), std::end(NiTransformInterpolator_Rotation), 0.0f);
    NiTransformInterpolator_Scale = 0;
    NiTransformInterpolator_Data = 0;
    NiTextKeyExtraData_Name = 0;
    NiTextKeyExtraData_NumTextKeys = 0;
    std::memset(NiTextKeyExtraData_TextKeys, 0, sizeof NiTextKeyExtraData_TextKeys);
    NiControllerSequence_Name = 0;
    NiControllerSequence_NumControlledBlocks = NiControllerSequence_ArrayGrowBy = 0;
    std::memset(NiControllerSequence_ControlledBlocks, 0, sizeof NiControllerSequence_ControlledBlocks);
    NiControllerSequence_Weight = NiControllerSequence_Frequency = 0;
    NiControllerSequence_StartTime = NiControllerSequence_StopTime = 0;
    NiControllerSequence_TextKeys = NiControllerSequence_Manager = NiControllerSequence_AccumRootName = 0;
    NiControllerSequence_CycleType = 0;
    NiControllerSequence_NumAnimNoteArrays = 0;
}
