// Appends the new blocks in their fixed order and serialises the interpolator, text-key and
// controller-sequence records. Every failure has printed its message when a negative result comes back.
#include "kf/sequence.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "driver/driver.h"
#include "keys/anim_keys.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"

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

// ---- serialisers ---------------------------------------------------------------------------------

std::int32_t Save_to_Memory___NiTransformInterpolator() {
    if (NiTransformInterpolator_Data > static_cast<std::int32_t>(kMaxBlocks)) {
        std::printf(
            "\n[Save_to_Memory___NiTransformInterpolator] ERROR: Variable 'NiTransformInterpolator_Data=%d' "
            "is out of limits!\n",
            NiTransformInterpolator_Data);
        return -3;
    }
    ByteWriter out = Open_Block_Body();
    for (float value : NiTransformInterpolator_Translation)
        Write_f32(out, value);
    for (float value : NiTransformInterpolator_Rotation)
        Write_f32(out, value);
    Write_f32(out, NiTransformInterpolator_Scale);
    Write_i32(out, NiTransformInterpolator_Data);
    return Close_Block_Body(out, "Save_to_Memory___NiTransformInterpolator");
}

std::int32_t Save_to_Memory___NiTextKeyExtraData() {
    if (NiTextKeyExtraData_NumTextKeys > kMaxKeys) {
        std::printf(
            "\n[Save_to_Memory___NiTextKeyExtraData] ERROR: Variable 'NiTextKeyExtraData_NumTextKeys=%d' is "
            "out of limits!\n",
            static_cast<std::int32_t>(NiTextKeyExtraData_NumTextKeys));
        return -3;
    }
    ByteWriter out = Open_Block_Body();
    Write_i32(out, NiTextKeyExtraData_Name);
    Write_u32(out, NiTextKeyExtraData_NumTextKeys);
    for (std::uint32_t k = 0; k < NiTextKeyExtraData_NumTextKeys; ++k) {
        Write_f32(out, NiTextKeyExtraData_TextKeys[k].Time);
        Write_i32(out, NiTextKeyExtraData_TextKeys[k].Value);
    }
    return Close_Block_Body(out, "Save_to_Memory___NiTextKeyExtraData");
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

std::int32_t Save_to_Memory___NiControllerSequence() {
    if (NiControllerSequence_NumControlledBlocks > kMaxControlledBlocks) {
        std::printf("\n[Save_to_Memory___NiControllerSequence] ERROR: Variable "
                    "'NiControllerSequence_NumControlledBlocks=%d' is out of limits!\n",
                    static_cast<std::int32_t>(NiControllerSequence_NumControlledBlocks));
        return -3;
    }
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

// ---- assembly ------------------------------------------------------------------------------------

// Registers the type of the block about to be appended and creates its body. Its index, or -3.
static std::int32_t Begin_Block(const char* typeName, std::uint32_t size) {
    if (AddNewNodeToHeader(typeName) < 0) return -3;
    const std::int32_t index = static_cast<std::int32_t>(Header_NumBlocks);
    if (AllocateRAM_forNifBlock(index, static_cast<std::int32_t>(size)) < 0) return -3;
    return index;
}

// The transform data of bone b, then its interpolator.
static std::int32_t Append_Bone_Blocks(std::int32_t b) {
    Fill_NiTransformData_from_Bone(b);
    const std::int32_t dataBlock = Begin_Block("NiTransformData", Calculate_Size___NiTransformData());
    if (dataBlock < 0 || Save_to_Memory___NiTransformData() < 0) return -3;
    ++Header_NumBlocks;

    std::fill(std::begin(NiTransformInterpolator_Translation), std::end(NiTransformInterpolator_Translation),
              0.0f);
    const float identity[4] = {1, 0, 0, 0};
    std::copy(std::begin(identity), std::end(identity), std::begin(NiTransformInterpolator_Rotation));
    NiTransformInterpolator_Scale = 1;
    NiTransformInterpolator_Data = dataBlock;
    const std::int32_t interpolatorBlock = Begin_Block("NiTransformInterpolator", kInterpolatorSize);
    if (interpolatorBlock < 0 || Save_to_Memory___NiTransformInterpolator() < 0) return -3;
    AnimBones[b].InterpolatorBlock = interpolatorBlock;
    ++Header_NumBlocks;
    return 0;
}

// The "start" and "end" text keys. The text-key block's index, or -3.
static std::int32_t Append_Text_Keys() {
    if (AddNewNodeToHeader("NiTextKeyExtraData") < 0) return -3;
    NiTextKeyExtraData_Name = -1;
    NiTextKeyExtraData_NumTextKeys = 2;
    const std::int32_t start = Create_New_String_in_Header("start");
    if (start < 0) return -3;
    const std::int32_t end = Create_New_String_in_Header("end");
    if (end < 0) return -3;
    NiTextKeyExtraData_TextKeys[0] = {0.0f, start};
    NiTextKeyExtraData_TextKeys[1] = {AnimDuration, end};
    const std::int32_t index = static_cast<std::int32_t>(Header_NumBlocks);
    if (AllocateRAM_forNifBlock(index, static_cast<std::int32_t>(8 + 8 * NiTextKeyExtraData_NumTextKeys)) <
            0 ||
        Save_to_Memory___NiTextKeyExtraData() < 0) {
        return -3;
    }
    ++Header_NumBlocks;
    return index;
}

// The first entry of the whole string table that names the accumulation root; 0 when none does.
static std::int32_t Find_Accum_Root_Name() {
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
        NiControllerSequence_ControlledBlocks[b] = {
            AnimBones[b].InterpolatorBlock, -1, 0, AnimBones[b].NameString, -1, controllerType, -1, -1};
    }
    return 0;
}

static std::int32_t Append_Controller_Sequence(std::int32_t textKeysBlock) {
    if (AddNewNodeToHeader("NiControllerSequence") < 0) return -3;
    NiControllerSequence_Name = Create_New_String_in_Header("SpecialIdle");
    if (NiControllerSequence_Name < 0) return -3;
    NiControllerSequence_NumControlledBlocks = static_cast<std::uint32_t>(NumAnimBones);
    NiControllerSequence_ArrayGrowBy = 1;
    if (Fill_Controlled_Blocks() < 0) return -3;
    NiControllerSequence_Weight = 1;
    NiControllerSequence_TextKeys = textKeysBlock;
    NiControllerSequence_CycleType = 0;
    NiControllerSequence_Frequency = 1;
    NiControllerSequence_StartTime = 0;
    NiControllerSequence_StopTime = AnimDuration;
    NiControllerSequence_Manager = -1;
    NiControllerSequence_AccumRootName = Find_Accum_Root_Name();
    NiControllerSequence_NumAnimNoteArrays = 0;
    const std::uint32_t size = 12 + kControlledBlockSize * NiControllerSequence_NumControlledBlocks + 34;
    if (AllocateRAM_forNifBlock(static_cast<std::int32_t>(Header_NumBlocks),
                                static_cast<std::int32_t>(size)) < 0 ||
        Save_to_Memory___NiControllerSequence() < 0) {
        return -3;
    }
    ++Header_NumBlocks;
    return 0;
}

std::int32_t Append_All_KF_Blocks() {
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

void Create_All_KF_Blocks() {
    if (Append_All_KF_Blocks() < 0) Terminate_Because_Of_Errors();
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
