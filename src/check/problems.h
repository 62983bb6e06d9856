// The problems of a sequence, as findings that print nothing: the checks of its text keys and of a
// bone's keys, and the lines that tell them and what could not be read, each saying where.
// posewright-keys prints them in its own words; the converter prints a bone's findings as warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// What the checks of a bone find. The key problems come first: of each kind a bone shows the first
// kShownPerKind, then one finding of the kind that counts the rest.
enum BoneProblem {
    kNotFinite,
    kTimeOrder,
    kAfterDuration,
    kLength,
    kHemisphere,
    kDegrees,
    kKeyProblems, // the number of key problems
    kEmptyName = kKeyProblems,
    kSharedNode,
    kNoKeys
};
inline constexpr std::uint32_t kShownPerKind = 3;

// A finding: its kind, the bone of AnimBones, the key (-1: the bone's, or the count of a kind) and the
// sentence that tells it, without where it is and without a line end.
struct BoneFinding {
    BoneProblem Kind;
    std::int32_t Bone, Key;
    std::string Text;
};

// The checks of bone `b` of AnimBones: its name against the bones before it, each key against the one
// before and the duration, and, when `converted` (a bone the converter writes), a bone without keys.
// Prints nothing.
std::vector<BoneFinding> Find_Bone_Problems(std::int32_t b, bool converted);

// Find_Bone_Problems(b, false) noted as bone b's problem lines.
void Check_Bone(std::int32_t b);
// The checks of the sequence's "start" and "end" text keys in `keys` against its `start` and `stop` times.
void Check_Text_Keys(const TextKeyExtraData& keys, float start, float stop);

// Back to the state of program start.
void Reset_Problems();
