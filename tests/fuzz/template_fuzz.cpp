// The template loader and writer: whatever the bytes, every table within its capacity; a template
// that loads writes a file that loads and writes back unchanged.
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Stages first = Convert(ByteString(data, data + size), nullptr);
    Check_Tables();
    if (first.Result == 0) {
        const Stages second = Convert(first.Output, nullptr);
        Fuzz_Check(second.Result == 0 && second.Output == first.Output,
                   "a written template does not copy unchanged");
    }
    return 0;
}
