// Sequence assembly: per bone a transform-data block and its interpolator, then the text keys and
// the one controller sequence that binds every interpolator to its bone's node name.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

extern float NiTransformInterpolator_Translation[3];
extern float NiTransformInterpolator_Rotation[4]; // w first
extern float NiTransformInterpolator_Scale;
extern std::int32_t NiTransformInterpolator_Data; // block index of the bone's transform data

struct TextKey {
    float Time;
    std::int32_t Value; // string index
};

extern std::int32_t NiTextKeyExtraData_Name; // string index
extern std::uint32_t NiTextKeyExtraData_NumTextKeys;
extern TextKey NiTextKeyExtraData_TextKeys[kMaxKeys];

// One binding of an interpolator to a node; 29 bytes in the file, the priority a single byte.
struct ControlledBlock {
    std::int32_t Interpolator; // block index
    std::int32_t Controller;   // block index
    std::uint8_t Priority;
    std::int32_t NodeName; // string index, as are the four below
    std::int32_t PropertyType;
    std::int32_t ControllerType;
    std::int32_t ControllerID;
    std::int32_t InterpolatorID;
};

extern std::int32_t NiControllerSequence_Name; // string index
extern std::uint32_t NiControllerSequence_NumControlledBlocks;
extern std::uint32_t NiControllerSequence_ArrayGrowBy;
extern ControlledBlock NiControllerSequence_ControlledBlocks[kMaxControlledBlocks];
extern float NiControllerSequence_Weight;
extern std::int32_t NiControllerSequence_TextKeys; // block index
extern std::uint32_t NiControllerSequence_CycleType;
extern float NiControllerSequence_Frequency;
extern float NiControllerSequence_StartTime;
extern float NiControllerSequence_StopTime;
extern std::int32_t NiControllerSequence_Manager;       // block index
extern std::int32_t NiControllerSequence_AccumRootName; // string index
extern std::uint16_t NiControllerSequence_NumAnimNoteArrays;

inline constexpr std::uint32_t kInterpolatorSize = 36;
inline constexpr std::uint32_t kControlledBlockSize = 29;
// The text of the first string-table entry that becomes the accumulation root.
inline constexpr const char* kAccumRootName = "NPC Root [Root]";

// Each serialises its working record into the body of block Header_NumBlocks. 0, or -3.
std::int32_t Save_to_Memory___NiTransformInterpolator();
std::int32_t Save_to_Memory___NiTextKeyExtraData();
std::int32_t Save_to_Memory___NiControllerSequence();

// Each reads the body under `in` into its working record, the serialiser's mirror. 0, or -3 when the
// body does not hold that layout (in.Fault says why).
std::int32_t Load_from_Memory___NiTransformInterpolator(ByteReader& in);
std::int32_t Load_from_Memory___NiTextKeyExtraData(ByteReader& in);
std::int32_t Load_from_Memory___NiControllerSequence(ByteReader& in);

// The first entry of the whole string table that names the accumulation root; 0 when none does.
std::int32_t Find_Accum_Root_Name();

// Appends every new block, type and string to the document, the sequence as the sequence settings
// say. 0, or -3 after the failing message.
std::int32_t Create_All_KF_Blocks();

// Back to the zero-filled state of program start.
void Reset_Sequence();
