// The template loader and writer: whatever the bytes, every table within its capacity; a template
// that loads writes a file that loads and writes back unchanged.
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteString first = Convert(ByteString(data, data + size), nullptr);
    Check_Tables();
    Fuzz_Check(first.empty() || Convert(first, nullptr) == first,
               "a written template does not copy unchanged");
    return 0;
}
