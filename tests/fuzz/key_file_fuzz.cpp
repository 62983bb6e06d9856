// The key-file reader and writer: whatever the bytes, every table within its capacity, and a file of
// one format that reads is written back to a text that reads to the same bits.
#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

// The reader's result and what it read: flags, duration, and every bone's name and key bytes.
static std::string Loaded(const std::string& text) {
    NumAnimBones = Load_Keys(text);
    Check_Tables();
    std::string table =
        std::to_string(NumAnimBones) + "/" + std::to_string(IsQuaternionFormat + 2 * IsEulerFormat);
    table.append(reinterpret_cast<const char*>(&AnimDuration), sizeof AnimDuration);
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const auto keys =
            static_cast<std::size_t>(IsQuaternionFormat || IsEulerFormat ? AnimBones[b].NumKeys : 0);
        table.append(AnimBones[b].Name).append(1, '\n');
        table.append(reinterpret_cast<const char*>(AnimBones[b].Keys), keys * sizeof(AnimKey));
    }
    return table;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(data, data + size), table = Loaded(text);
    // With both format words each key was read twice; the writer writes one form.
    if (NumAnimBones >= 0 && IsQuaternionFormat != IsEulerFormat)
        Fuzz_Check(Loaded(Save_Keys()) == table, "the written key text reads back differently");
    return 0;
}
