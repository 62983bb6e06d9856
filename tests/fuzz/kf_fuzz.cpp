// posewright-keys' readers on a whole .kf: whatever the bytes, every table within its capacity, and
// every key text it writes reads back and is written again unchanged.
#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> back = Read_Back(ByteString(data, data + size));
    Check_Tables();
    for (const std::string& text : back) {
        NumAnimBones = Load_Keys(text);
        Fuzz_Check(NumAnimBones >= 0 && Save_Keys() == text, "a written key text does not read back");
    }
    return 0;
}
