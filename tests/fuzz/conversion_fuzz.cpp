// The whole conversion, from a template, a key text and optionally a sequence text, split at
// kSeparator and kSequenceSeparator: every table within its capacity, and an output that
// posewright-keys' readers take back to the key text of the bones that made it and, when a sequence
// text was loaded, to a sequence that writes the same settings. Then the same with --compress: every
// curve and pose of the output within the bound of each key of its bone, by the test support's own
// evaluator.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "build/blocks.h"
#include "build/compress.h"
#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "kf/controller_sequence.h"
#include "nif/nif_document.h"

constexpr std::string_view kSeparator = "\n#==KEYS==#\n", kSequenceSeparator = "\n#==SEQUENCE==#\n";

// The text before `separator` (all of it without one); `text` keeps what follows it. False without one.
static bool Split(std::string& text, std::string_view separator, std::string& before) {
    const std::size_t at = text.find(separator);
    before = text.substr(0, at);
    text.erase(0, at == std::string::npos ? text.size() : at + separator.size());
    return at != std::string::npos;
}

// A root given as a text that today's rule finds in the output anyway reads back as the default.
static void Drop_Root_Line_if_Ruled(std::string& expected, const std::string& root) {
    if (root.empty() || SequenceSettings_AccumRoot != kAccumRootDefault) return;
    const auto first = std::find(Header_Strings, Header_Strings + Header_NumStrings, root) - Header_Strings;
    Fuzz_Check(first == Find_Accum_Root_Name(), "a given root reads back as the default");
    const std::size_t line = expected.find("\nAccumulation root ");
    expected.erase(line, expected.find('\n', line + 1) - line);
}

// No root given: the converter's rule names one (string 0 when no string is "NPC Root [Root]"), which
// reads back as its text unless the rule finds it again, through a bone of that name.
static void Name_Ruled_Root() {
    const char* text = String_at(Find_Accum_Root_Name());
    if (SequenceSettings_AccumRoot != kAccumRootDefault || text == nullptr) return;
    const bool ruled = std::strcmp(text, kAccumRootName) == 0 &&
                       std::any_of(AnimBones, AnimBones + NumAnimBones, [](const AnimBone& bone) {
                           return std::strcmp(bone.Name, kAccumRootName) == 0;
                       });
    if (ruled) return;
    SequenceSettings_AccumRoot = kAccumRootText;
    std::snprintf(SequenceSettings_AccumRootName, kTextEntrySize, "%s", text);
    std::replace(SequenceSettings_AccumRootName, SequenceSettings_AccumRootName + kTextEntrySize, '\n', ' ');
}

// A bone of no keys is held at its interpolator's pose, the origin unrotated, which reads back as one key
// of that pose at the sequence's start.
static void Hold_Keyless_Bones() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (AnimBones[b].NumKeys != 0) continue;
        AnimBones[b].NumKeys = 1;
        AnimBones[b].Keys[0] = {
            SequenceSettings_StartTime, 0, 0, 0, IsQuaternionFormat ? 1.f : 0.f, 0, 0, 0, 1};
    }
}

// The conversion with --compress: each bone that is not keys holds every key within the bound.
static void Compressed(const ByteString& templateBytes, const std::string& keys,
                       const std::string* sequence) {
    Compression = kDefaultCompression;
    const ByteString output = Convert(templateBytes, &keys, sequence);
    Compression = {};
    Check_Tables();
    if (output.empty()) return;
    const std::vector<Bone> bones = Loaded_Bones();
    const auto written = Output_Bones(output);
    Fuzz_Check(written.size() == bones.size(), "a bone is missing from the output");
    for (std::size_t b = 0; b < bones.size(); ++b) {
        const std::string missed =
            written[b].first == "keys" ? "" : Missed_Key(written[b].second, bones[b], {0.01, 0.001, 0.001});
        Fuzz_Check(missed.empty(), "a curve misses a key: " + missed);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string rest(data, data + size), templateBytes, keys;
    Split(rest, kSeparator, templateBytes);
    const bool sequenced = Split(rest, kSequenceSeparator, keys);
    Compressed(As_Bytes(templateBytes), keys, sequenced ? &rest : nullptr);
    const ByteString output = Convert(As_Bytes(templateBytes), &keys, sequenced ? &rest : nullptr);
    Check_Tables();
    if (output.empty()) return 0;
    const std::string root =
        SequenceSettings_AccumRoot == kAccumRootText ? SequenceSettings_AccumRootName : "";
    if (SequenceSettings_Loaded) Name_Ruled_Root();
    std::string expectedSequence = SequenceSettings_Loaded ? Save_Sequence() : "";
    // The key text read back takes the sequence's stop time as its duration.
    AnimDuration = Sequence_Stop_Time();
    // Without bones nothing in the sequence tells the rotation form, so the format lines may differ.
    const bool bones = NumAnimBones > 0;
    const auto kept = [bones](const std::string& text) {
        return bones ? text : text.substr(text.find('\n'));
    };
    Hold_Keyless_Bones();
    const std::string expected = kept(Save_Keys());
    const std::vector<std::string> back = Read_Back(output);
    Check_Tables();
    Fuzz_Check(!back.empty() && kept(back.back()) == expected, "the output reads back to other keys");
    if (expectedSequence.empty()) return 0;
    Drop_Root_Line_if_Ruled(expectedSequence, root);
    Fuzz_Check(Save_Sequence() == expectedSequence, "the output reads back to another sequence");
    return 0;
}
