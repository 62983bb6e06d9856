// The key-file reader and writer: whatever the bytes, every table within its capacity; a file is
// converted only when the C library's own fscanf, run over it in the reader's order, reads every number
// of the duration and of every converted record in full; and a file of one format that reads is written
// back to a text that reads to the same bits.
#include <cstdio>
#include <regex>

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

// Whether glibc reads the duration and the first `bones` records of `text` in full, line and number by
// line and number as the key reader does (CR LF read as LF, as the reader reads it). `numbers` floats
// read one by one are one fscanf pattern of as many, whose trailing white space only a full read skips.
static bool Read_In_Full(std::string text, std::int32_t bones, bool quaternions, bool euler) {
    text = std::regex_replace(text, std::regex("\r\n"), "\n");
    std::FILE* file = fmemopen(text.data(), text.size(), "r");
    char line[kKeyLineSize];
    const auto full = [file](int numbers, const char* format, void* value) {
        int got = 0;
        while (got < numbers && std::fscanf(file, format, value) == 1)
            ++got;
        if (got == numbers) std::fscanf(file, " ");
        return got == numbers;
    };
    float value = 0;
    std::fgets(line, sizeof line, file);
    bool whole = full(1, "%f", &value);
    for (std::int32_t r = 0; !std::feof(file); ++r) {
        std::fgets(line, sizeof line, file);
        int keys = 0;
        bool record = full(1, "%d", &keys);
        for (int k = 0; record && k < keys; ++k)
            record = (!quaternions || full(9, "%f", &value)) && (!euler || full(8, "%f", &value));
        whole &= r >= bones || record;
    }
    std::fclose(file);
    return whole;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(data, data + size), table = Loaded(text);
    const bool quaternions = IsQuaternionFormat != 0, euler = IsEulerFormat != 0;
    if (NumAnimBones >= 0 && (quaternions || euler))
        Fuzz_Check(Read_In_Full(text, NumAnimBones, quaternions, euler),
                   "a key file with a number that cannot be read was converted");
    // With both format words each key was read twice; the writer writes one form.
    if (NumAnimBones >= 0 && quaternions != euler)
        Fuzz_Check(Loaded(Save_Keys()) == table, "the written key text reads back differently");
    return 0;
}
