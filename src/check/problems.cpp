// The checks of what the road back read, and the problem lines that tell them: each line says where,
// and of each kind of key problem a bone tells the first few, then how many more.
#include "check/problems.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "check/hemisphere.h"
#include "keys/anim_keys.h"
#include "keys/number_text.h"
#include "nif/nif_document.h"

std::string Problem_Lines;
std::string SequenceLabel;

namespace {

// Problems a key can show; of each kind a bone tells the first kShownPerKind, then a count.
enum KeyProblem { kNotFinite, kTimeOrder, kAfterDuration, kLength, kHemisphere, kDegrees, kKeyProblems };
const char* const kUntold[kKeyProblems] = {
    "keys hold a value that is not finite", "keys come no later than the key before",
    "keys come after the duration",         "rotations have a length other than 1",
    "rotations turn the long way round",    "keys have an angle above 2 pi"};
constexpr std::uint32_t kShownPerKind = 3;
std::uint32_t Told[kKeyProblems]; // of the bone being checked

std::string Where(std::int32_t bone, std::int32_t key) {
    std::string where = "\t- " + SequenceLabel;
    if (bone >= 0) where += ", bone " + std::to_string(bone + 1) + " '" + AnimBones[bone].Name + "'";
    if (key >= 0) where += ", key " + std::to_string(key + 1);
    return where + ": ";
}

void Note_Key(std::int32_t bone, std::int32_t key, KeyProblem kind, const std::string& what) {
    if (++Told[kind] <= kShownPerKind) Problem_Lines += Where(bone, key) + what + "\n";
}

void Check_Key(std::int32_t b, std::int32_t k) {
    const AnimKey& key = AnimBones[b].Keys[k];
    const AnimKey* before = k > 0 ? &AnimBones[b].Keys[k - 1] : nullptr;
    for (float AnimKey::*slot : kQuaternionKeySlots) {
        if (!std::isfinite(key.*slot)) {
            Note_Key(b, k, kNotFinite, "a value is not finite (" + Number(key.*slot) + ")");
            break;
        }
    }
    if (before != nullptr && !(key.Time > before->Time))
        Note_Key(b, k, kTimeOrder,
                 "its time " + Number(key.Time) + " s comes no later than the key before's");
    if (key.Time > AnimDuration)
        Note_Key(b, k, kAfterDuration, "its time " + Number(key.Time) + " s comes after the duration");
    if (IsEulerFormat) {
        for (float angle : {key.RotX, key.RotY, key.RotZ}) {
            if (std::fabs(angle) > 2 * std::numbers::pi_v<float>) {
                Note_Key(b, k, kDegrees,
                         "an angle of " + Number(angle) +
                             " is above 2 pi: radians are read, "
                             "this looks like degrees");
                break;
            }
        }
        return;
    }
    const float length =
        std::sqrt(key.RotW * key.RotW + key.RotX * key.RotX + key.RotY * key.RotY + key.RotZ * key.RotZ);
    if (std::fabs(length - 1) > 0.001f)
        Note_Key(b, k, kLength, "its rotation's length is " + Number(length) + ", not 1");
    if (before != nullptr && In_Other_Hemisphere(Rotation_of(key), Rotation_of(*before)))
        Note_Key(b, k, kHemisphere,
                 "its rotation is in the other hemisphere from the key before's: the "
                 "engine turns the long way round");
}

} // namespace

std::string Number(float value) {
    char text[kMaxFloatText];
    return std::string(text, Put_Float(text, value));
}

std::string Block_Label(std::int32_t block) {
    const char* type = Block_Type_Name(block);
    return "block " + std::to_string(block) + (type != nullptr ? std::string(" '") + type + "'" : "");
}

void Note(std::int32_t bone, const std::string& what) {
    Problem_Lines += Where(bone, -1) + what + "\n";
}

void Note_Unreadable(std::int32_t bone, std::int32_t block, const char* fault, const char* outcome) {
    Note(bone, Block_Label(block) + " does not hold the layout read here (" + fault + "): " + outcome);
}

void Check_Bone(std::int32_t b) {
    const AnimBone& bone = AnimBones[b];
    if (bone.Name[0] == '\0') Note(b, "its node name is empty");
    for (std::int32_t other = 0; other < b; ++other) {
        if (std::strcmp(AnimBones[other].Name, bone.Name) == 0) {
            Note(b, "the node is named by bone " + std::to_string(other + 1) + " too");
            break;
        }
    }
    for (std::int32_t k = 0; k < bone.NumKeys; ++k)
        Check_Key(b, k);
    for (int kind = 0; kind < kKeyProblems; ++kind) {
        if (Told[kind] > kShownPerKind)
            Note(b, std::to_string(Told[kind] - kShownPerKind) + " more " + kUntold[kind]);
        Told[kind] = 0;
    }
}

void Check_Text_Keys(const TextKeyExtraData& keys, float start, float stop) {
    for (std::uint32_t k = 0; k < keys.NumTextKeys; ++k) {
        const TextKey& key = keys.TextKeys[k];
        const char* text = String_at(key.Value);
        for (const auto& [name, time] : {std::pair{"start", start}, std::pair{"end", stop}}) {
            if (text != nullptr && std::strcmp(text, name) == 0 && key.Time != time)
                Note(-1, std::string("its \"") + name + "\" text key is at " + Number(key.Time) +
                             " s, the sequence's " + name + " at " + Number(time) + " s");
        }
    }
}

void Reset_Problems() {
    Problem_Lines.clear();
    SequenceLabel.clear();
    std::fill(std::begin(Told), std::end(Told), 0);
}
