// The key wait on POSIX systems: raw single-key mode on a terminal, one byte from anything else.
#include <cstdio>

#include <termios.h>
#include <unistd.h>

#include "driver/console.h"

void Wait_for_Key_Press() {
    std::fflush(stdout);
    unsigned char key = 0;
    termios saved{};
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        return;
    }
    // A pipe, a file or a closed input: never block a script for more than one byte.
    [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
}
