// The key-file reader. Whatever the bytes, it returns one of its documented results with every
// table within its capacity; and a file without CR LF pairs reads the same once its line ends are
// CR LF, which is how the key files of another platform's scripts arrive.
#include <algorithm>
#include <bit>
#include <cstring>

#include "fuzz/fuzz_harness.h"
#include "keys/anim_keys.h"

namespace {

struct KeyTable {
    std::int32_t Result = 0;
    bool Quaternion = false, Euler = false;
    std::uint32_t Duration = 0; // bits, so that NaNs compare
    std::vector<std::string> Names;
    std::vector<std::vector<std::uint8_t>> Keys; // the bytes of every key read, so that NaNs compare
};

KeyTable Load(const std::vector<std::uint8_t>& bytes) {
    Reset_Every_Table();
    AnimationKeysFile = Open_Bytes(bytes);
    KeyTable table;
    table.Result = Load_from_File___Animation_Keys();
    Close_Process_Files();
    NumAnimBones = std::max(table.Result, 0);
    Check_Table_Counts();
    Fuzz_Check(table.Result == -1 || table.Result == -3 ||
                   (table.Result >= 0 && table.Result < static_cast<std::int32_t>(kMaxBoneRecords)),
               "unexpected reader result " + std::to_string(table.Result));
    table.Quaternion = IsQuaternionFormat != 0;
    table.Euler = IsEulerFormat != 0;
    table.Duration = std::bit_cast<std::uint32_t>(AnimDuration);
    // The last record read is never converted, but it is read like the others.
    for (std::int32_t b = 0; table.Result >= 0 && b <= table.Result; ++b) {
        const AnimBone& bone = AnimBones[b];
        table.Names.emplace_back(bone.Name);
        const std::int32_t count = table.Quaternion || table.Euler ? bone.NumKeys : 0;
        const auto* keys = reinterpret_cast<const std::uint8_t*>(bone.Keys);
        table.Keys.emplace_back(keys, keys + static_cast<std::size_t>(count) * sizeof(AnimKey));
    }
    return table;
}

bool Same(const KeyTable& a, const KeyTable& b) {
    return a.Result == b.Result && a.Quaternion == b.Quaternion && a.Euler == b.Euler &&
           a.Duration == b.Duration && a.Names == b.Names && a.Keys == b.Keys;
}

bool Has_Cr_Lf(const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t pair[] = {'\r', '\n'};
    return std::search(bytes.begin(), bytes.end(), std::begin(pair), std::end(pair)) != bytes.end();
}

std::vector<std::uint8_t> With_Cr_Lf(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out;
    for (std::uint8_t byte : bytes) {
        if (byte == '\n') out.push_back('\r');
        out.push_back(byte);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> input(data, data + size);
    const KeyTable lf = Load(input);
    if (!Has_Cr_Lf(input)) {
        Fuzz_Check(Same(lf, Load(With_Cr_Lf(input))), "CR LF line ends read differently from LF ones");
    }
    return 0;
}
