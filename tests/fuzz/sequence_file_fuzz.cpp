// The sequence-file reader and writer: whatever the bytes, every table within its capacity, and a file
// that loads is written back to a text that loads to the same settings and is written again unchanged.
#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The nodes a priority may name, one of them twice.
    static const std::string keys =
        Key_Text(false, 1.5f, {{"Bone 0 [x]", {}}, {"NPC Spine", {}}, {"Bone 0 [x]", {}}, {"Bone 1", {}}});
    NumAnimBones = Load_Keys(keys);
    const std::int32_t result = Load_Sequence(std::string(data, data + size));
    Check_Tables();
    if (result < 0) return 0;
    const std::string first = Save_Sequence();
    Fuzz_Check(Load_Sequence(first) == 0, "a written sequence text does not load");
    Fuzz_Check(Save_Sequence() == first, "a written sequence text loads to other settings");
    return 0;
}
