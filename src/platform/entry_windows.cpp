// The entry on Windows: the arguments arrive in UTF-16 and are narrowed to bytes first.
#include <string>
#include <vector>

#include "driver/driver.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> narrowed;
    for (int i = 0; i < argc; ++i)
        narrowed.push_back(Narrow_Argument(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& argument : narrowed)
        pointers.push_back(argument.c_str());
    return Program_Main(argc, pointers.data());
}
