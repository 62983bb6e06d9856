#include "fuzz/fuzz.h"

#include <cstdio>
#include <cstdlib>

void Fuzz_Check(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n", what.c_str());
    std::abort();
}

void Check_Tables() {
    const std::string fault = Table_Fault();
    Fuzz_Check(fault.empty(), fault);
}

// The operations report every stage on standard output; the targets only need their results.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz_Check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence standard output");
    return 0;
}
