// The whole conversion, from a template, a key text and optionally a sequence text, split at
// kSeparator and kSequenceSeparator: every table within its capacity, and an output that
// posewright-keys' readers take back to the key text of the bones that made it and, when a sequence
// text was loaded, to a sequence that writes the same settings.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "kf/sequence.h"
#include "nif/nif_document.h"

constexpr const char* kSeparator = "\n#==KEYS==#\n";
constexpr const char* kSequenceSeparator = "\n#==SEQUENCE==#\n";

static const std::uint8_t* Find(const std::uint8_t* from, const std::uint8_t* end, const char* separator) {
    return std::search(from, end, separator, separator + std::strlen(separator));
}

static const std::uint8_t* After(const std::uint8_t* at, const std::uint8_t* end, const char* separator) {
    return at == end ? end : at + std::strlen(separator);
}

// A root given as a text that today's rule finds in the output anyway reads back as the default.
static void Drop_Root_Line_if_Ruled(std::string& expected, const std::string& root) {
    if (root.empty() || SequenceSettings_AccumRoot != kAccumRootDefault) return;
    std::int32_t first = 0;
    while (static_cast<std::uint32_t>(first) < Header_NumStrings && root != Header_Strings[first])
        ++first;
    Fuzz_Check(first == Find_Accum_Root_Name(), "a given root reads back as the default");
    const std::size_t line = expected.find("\nAccumulation root ");
    expected.erase(line, expected.find('\n', line + 1) - line);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = data + size;
    const std::uint8_t* at = Find(data, end, kSeparator);
    const std::uint8_t* sequenceAt = Find(After(at, end, kSeparator), end, kSequenceSeparator);
    const std::string keys(After(at, end, kSeparator), sequenceAt);
    const std::string sequence(After(sequenceAt, end, kSequenceSeparator), end);
    const ByteString output = Convert(ByteString(data, at), &keys, sequenceAt != end ? &sequence : nullptr);
    Check_Tables();
    if (output.empty()) return 0;
    const std::string expectedSequence = SequenceSettings_Loaded ? Save_Sequence() : "";
    const std::string root =
        SequenceSettings_AccumRoot == kAccumRootText ? SequenceSettings_AccumRootName : "";
    // The key text read back takes the sequence's stop time as its duration.
    AnimDuration = Sequence_Stop_Time();
    // Without bones nothing in the sequence tells the rotation form, so the format lines may differ.
    const bool bones = NumAnimBones > 0;
    const auto kept = [bones](const std::string& text) {
        return bones ? text : text.substr(text.find('\n'));
    };
    const std::string expected = kept(Save_Keys());
    const std::vector<std::string> back = Read_Back(output);
    Check_Tables();
    Fuzz_Check(!back.empty() && kept(back.back()) == expected, "the output reads back to other keys");
    if (expectedSequence.empty()) return 0;
    std::string written = expectedSequence;
    Drop_Root_Line_if_Ruled(written, root);
    Fuzz_Check(Save_Sequence() == written, "the output reads back to another sequence");
    return 0;
}
