// The layout of NiTextKeyExtraData, the named times of a sequence: its record, the size of a body, and
// its writer beside its reader.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

struct TextKey {
    float Time;
    std::int32_t Value; // string index
};

struct TextKeyExtraData {
    std::int32_t Name; // string index
    std::uint32_t NumTextKeys;
    TextKey TextKeys[kMaxKeys];
};

// The bytes Save_to_Memory___NiTextKeyExtraData writes for `keys`.
std::uint32_t Calculate_Size___NiTextKeyExtraData(const TextKeyExtraData& keys);

// Serialises `keys` into the body of block Header_NumBlocks. 0, or -3.
std::int32_t Save_to_Memory___NiTextKeyExtraData(const TextKeyExtraData& keys);

// Reads the body under `in` into `keys`, the serialiser's mirror. 0, or -3 when the body does not hold
// that layout (in.Fault says why).
std::int32_t Load_from_Memory___NiTextKeyExtraData(ByteReader& in, TextKeyExtraData& keys);
