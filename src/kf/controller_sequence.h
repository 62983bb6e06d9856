// The layout of NiControllerSequence, the block that binds every bone's interpolator to its node's name:
// its record, the size of the body the converter writes, and its writer beside its reader.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

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

inline constexpr std::uint32_t kControlledBlockSize = 29;

// The text of the string-table entry the converter makes the accumulation root when none is given.
inline constexpr const char* kAccumRootName = "NPC Root [Root]";

struct ControllerSequence {
    std::int32_t Name; // string index
    std::uint32_t NumControlledBlocks;
    std::uint32_t ArrayGrowBy;
    ControlledBlock ControlledBlocks[kMaxControlledBlocks];
    float Weight;
    std::int32_t TextKeys; // block index
    std::uint32_t CycleType;
    float Frequency;
    float StartTime;
    float StopTime;
    std::int32_t Manager;       // block index
    std::int32_t AccumRootName; // string index
    std::uint16_t NumAnimNoteArrays;
};

// The bytes Save_to_Memory___NiControllerSequence writes for `sequence`: no note arrays.
std::uint32_t Calculate_Size___NiControllerSequence(const ControllerSequence& sequence);

// Serialises `sequence` into the body of block Header_NumBlocks. 0, or -3.
std::int32_t Save_to_Memory___NiControllerSequence(const ControllerSequence& sequence);

// Reads the body under `in` into `sequence`, the serialiser's mirror. 0, or -3 when the body does not
// hold that layout (in.Fault says why; it then holds no controlled blocks).
std::int32_t Load_from_Memory___NiControllerSequence(ByteReader& in, ControllerSequence& sequence);
