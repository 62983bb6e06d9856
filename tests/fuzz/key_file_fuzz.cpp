// The key-file reader and writer: whatever the bytes, every table within its capacity; the same file
// with CR LF line ends reads the same; a file that reads is written back to a text that reads to the
// same bits.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

namespace {

// The reader's result and what it read: flags, duration, and every record's name and key bytes.
std::string Loaded(const std::string& text) {
    const std::int32_t result = Load_Keys(text);
    Check_Tables();
    const bool known = IsQuaternionFormat || IsEulerFormat;
    std::string table = std::to_string(result) + "/" + std::to_string(IsQuaternionFormat + 2 * IsEulerFormat);
    table.append(reinterpret_cast<const char*>(&AnimDuration), sizeof AnimDuration);
    for (std::int32_t b = 0; b < result; ++b) {
        table += std::string(AnimBones[b].Name) + '\n';
        const std::size_t keys = known ? static_cast<std::size_t>(AnimBones[b].NumKeys) : 0;
        table.append(reinterpret_cast<const char*>(AnimBones[b].Keys), keys * sizeof(AnimKey));
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(data, data + size);
    const std::string table = Loaded(text);
    if (text.find("\r\n") == std::string::npos) {
        std::string crlf;
        for (char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        Fuzz_Check(Loaded(crlf) == table, "CR LF line ends read differently from LF ones");
    }
    // One format word: the writer writes that form (with both, each key was read twice).
    const std::int32_t bones = Load_Keys(text);
    if (bones >= 0 && IsQuaternionFormat != IsEulerFormat) {
        NumAnimBones = bones;
        Fuzz_Check(Loaded(Save_Keys()) == table, "the written key text reads back differently");
    }
    return 0;
}
