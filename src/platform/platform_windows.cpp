// The platform on Windows: one key from a console, one byte from anything else; files opened, renamed
// and compared by their wide names, converted from the UTF-8 the programs hold.
#include <cstdio>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <io.h>
#include <windows.h>

#include "platform/platform.h"

// Only a console input handle accepts GetConsoleMode. _isatty is not used: it is true for every
// character device, NUL included, and `< NUL` must not wait for a key.
static bool Input_Is_A_Console() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
}

void Wait_for_Key_Press() {
    std::fflush(stdout);
    if (Input_Is_A_Console()) {
        std::printf("Press any key to close this window.\n");
        std::fflush(stdout);
        _getch();
        return;
    }
    // A pipe, a file, NUL or no console at all: never block a script for more than one byte.
    char key = 0;
    [[maybe_unused]] const int got = _read(0, &key, 1);
}

static std::wstring Wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
    wide.pop_back(); // the terminating zero
    return wide;
}

// Binary mode: text mode would end a file at a Ctrl-Z and fold CR LF before the readers see it.
static const wchar_t* Mode_Text(FileMode mode) {
    return mode == FileMode::Read ? L"rb" : mode == FileMode::Write ? L"wb" : L"r+b";
}

std::FILE* Open_File(const char* name, FileMode mode) {
    return _wfopen(Wide(name).c_str(), Mode_Text(mode));
}

bool Remove_File(const char* name) {
    return DeleteFileW(Wide(name).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool Replace_File(const char* from, const char* to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// A file's identity: its volume and its index on the volume.
static bool Identify(const char* name, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file =
        CreateFileW(Wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

bool Same_File(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return Identify(a, first) && Identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

bool Is_Folder_Separator(char c) {
    return c == '/' || c == '\\' || c == ':';
}
