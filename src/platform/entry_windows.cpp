// The entry on Windows: the arguments arrive in UTF-16 and are handed on in UTF-8, and the console shows
// what the programs print as UTF-8 for as long as they run.
#include <cstdlib>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/platform.h"

static UINT SavedOutputCodePage;

static void Restore_Console() {
    if (SavedOutputCodePage != 0) SetConsoleOutputCP(SavedOutputCodePage);
}

static std::string Utf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back(); // the terminating zero
    return utf8;
}

int wmain(int argc, wchar_t** argv) {
    SavedOutputCodePage = GetConsoleOutputCP();
    if (SavedOutputCodePage != 0 && SetConsoleOutputCP(CP_UTF8)) std::atexit(Restore_Console);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(Utf8(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    const int status = Program_Main(argc, pointers.data());
    Restore_Console();
    return status;
}
