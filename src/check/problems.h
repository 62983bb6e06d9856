// The problems of a sequence, as findings that print nothing: the checks of its text keys and of a
// bone's keys, and the lines that tell them and what could not be read, each saying where.
// posewright-keys prints them in its own words.
#pragma once

#include <cstdint>
#include <string>

#include "kf/text_keys.h"

// What the reading found wrong, as lines ready to print: "\t- Sequence 'S', bone 2 'B', key 3: ...\n".
// Of each kind of key problem a bone shows the first three, then how many more.
extern std::string Problem_Lines;
// Where the lines of the sequence being read say they are: "Sequence 'name'", or where a sequence
// without a readable name is.
extern std::string SequenceLabel;

// A float in the key text's shortest form.
std::string Number(float value);
// "block 3 'NiTransformData'", the type left out when the block has none.
std::string Block_Label(std::int32_t block);

// A problem of the sequence (bone -1) or of bone `bone`.
void Note(std::int32_t bone, const std::string& what);
// Block `block` does not hold the layout read there, for the reason `fault`; `outcome` says what follows.
void Note_Unreadable(std::int32_t bone, std::int32_t block, const char* fault, const char* outcome);

// The checks of bone `b` of AnimBones: its name, and each key against the one before and the duration.
void Check_Bone(std::int32_t b);
// The checks of the sequence's "start" and "end" text keys in `keys` against its `start` and `stop` times.
void Check_Text_Keys(const TextKeyExtraData& keys, float start, float stop);

// Back to the state of program start.
void Reset_Problems();
