// The key wait on Windows: one key from a console, one byte from anything else.
#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <io.h>
#include <windows.h>

#include "driver/console.h"

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
        _getch();
        return;
    }
    // A pipe, a file, NUL or no console at all: never block a script for more than one byte.
    char key = 0;
    [[maybe_unused]] const int got = _read(0, &key, 1);
}
