// The whole conversion, from a template and a key text split at kSeparator: every table within its
// capacity, and an output that posewright-keys' readers take back to the key text of the bones that
// made it.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

constexpr const char* kSeparator = "\n#==KEYS==#\n";

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = data + size;
    const std::uint8_t* at = std::search(data, end, kSeparator, kSeparator + std::strlen(kSeparator));
    const std::string keys(at == end ? end : at + std::strlen(kSeparator), end);
    const ByteString output = Convert(ByteString(data, at), &keys);
    Check_Tables();
    if (output.empty()) return 0;
    // Without bones nothing in the sequence tells the rotation form, so the format lines may differ.
    const bool bones = NumAnimBones > 0;
    const auto kept = [bones](const std::string& text) {
        return bones ? text : text.substr(text.find('\n'));
    };
    const std::string expected = kept(Save_Keys());
    const std::vector<std::string> back = Read_Back(output);
    Check_Tables();
    Fuzz_Check(!back.empty() && kept(back.back()) == expected, "the output reads back to other keys");
    return 0;
}
