// The checks of what the road back read, and the problem lines that tell them: each line says where,
// and of each kind of key problem a bone tells the first few, then how many more.
#include "check/problems.h"

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

// The end of the finding that counts the keys of a kind past the first kShownPerKind.
const char* const kUntold[kKeyProblems] = {
    "keys hold a value that is not finite", "keys come no later than the key before",
    "keys come after the duration",         "rotations have a length other than 1",
    "rotations turn the long way round",    "keys have an angle above 2 pi"};

std::string Where(std::int32_t bone, std::int32_t key) {
    std::string where = "\t- " + SequenceLabel;
    if (bone >= 0) where += ", bone " + std::to_string(bone + 1) + " '" + AnimBones[bone].Name + "'";
    if (key >= 0) where += ", key " + std::to_string(key + 1);
    return where + ": ";
}

// The findings of a bone's keys, and how many of each kind it found.
struct KeyFindings {
    std::vector<BoneFinding>& Found;
    std::int32_t Bone;
    std::uint32_t Told[kKeyProblems];

    void Add(std::int32_t key, BoneProblem kind, const std::string& what) {
        if (++Told[kind] <= kShownPerKind) Found.push_back({kind, Bone, key, what});
    }
};

// Angles are checked where the key text's angles are built: without the quaternion format, whose
// word wins when the format line names both.
void Check_Key(KeyFindings& findings, std::int32_t k) {
    const AnimKey& key = AnimBones[findings.Bone].Keys[k];
    const AnimKey* before = k > 0 ? &AnimBones[findings.Bone].Keys[k - 1] : nullptr;
    for (float AnimKey::*slot : kQuaternionKeySlots) {
        if (!std::isfinite(key.*slot)) {
            findings.Add(k, kNotFinite, "a value is not finite (" + Number(key.*slot) + ")");
            break;
        }
    }
    if (before != nullptr && !(key.Time > before->Time))
        findings.Add(k, kTimeOrder,
                     "its time " + Number(key.Time) + " s comes no later than the key before's");
    if (key.Time > AnimDuration)
        findings.Add(k, kAfterDuration, "its time " + Number(key.Time) + " s comes after the duration");
    if (!IsQuaternionFormat) {
        for (float angle : {key.RotX, key.RotY, key.RotZ}) {
            if (std::fabs(angle) > 2 * std::numbers::pi_v<float>) {
                findings.Add(k, kDegrees,
                             "an angle of " + Number(angle) +
                                 " is above 2 pi: radians are read, "
                                 "this looks like degrees");
                break;
            }
        }
        return;
    }
    // In single precision, as the engine holds a rotation.
    const float length =
        std::sqrt(key.RotW * key.RotW + key.RotX * key.RotX + key.RotY * key.RotY + key.RotZ * key.RotZ);
    if (std::fabs(length - 1) > 0.001f)
        findings.Add(k, kLength, "its rotation's length is " + Number(length) + ", not 1");
    if (before != nullptr && In_Other_Hemisphere(Rotation_of(key), Rotation_of(*before)))
        findings.Add(k, kHemisphere,
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

std::vector<BoneFinding> Find_Bone_Problems(std::int32_t b, bool converted) {
    const AnimBone& bone = AnimBones[b];
    std::vector<BoneFinding> found;
    if (bone.Name[0] == '\0') found.push_back({kEmptyName, b, -1, "its node name is empty"});
    for (std::int32_t other = 0; other < b; ++other) {
        if (std::strcmp(AnimBones[other].Name, bone.Name) == 0) {
            found.push_back(
                {kSharedNode, b, -1, "the node is named by bone " + std::to_string(other + 1) + " too"});
            break;
        }
    }
    if (converted && bone.NumKeys == 0)
        found.push_back(
            {kNoKeys, b, -1, "it has 0 keys: its node is held at the origin, unrotated, in the game"});
    KeyFindings keys{found, b, {}};
    for (std::int32_t k = 0; k < bone.NumKeys; ++k)
        Check_Key(keys, k);
    for (int kind = 0; kind < kKeyProblems; ++kind) {
        if (keys.Told[kind] > kShownPerKind)
            found.push_back({static_cast<BoneProblem>(kind), b, -1,
                             std::to_string(keys.Told[kind] - kShownPerKind) + " more " + kUntold[kind]});
    }
    return found;
}

void Check_Bone(std::int32_t b) {
    for (const BoneFinding& finding : Find_Bone_Problems(b, false))
        Problem_Lines += Where(finding.Bone, finding.Key) + finding.Text + "\n";
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
}
