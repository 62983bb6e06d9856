// The platform on POSIX systems: raw single-key mode on a terminal, one byte from anything else; file
// names are bytes and used unchanged.
#include <cerrno>
#include <cstdio>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"

void Wait_for_Key_Press() {
    std::fflush(stdout);
    unsigned char key = 0;
    termios saved{};
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        std::printf("Press any key to close this window.\n");
        std::fflush(stdout);
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

static const char* Mode_Text(FileMode mode) {
    return mode == FileMode::Read ? "rb" : mode == FileMode::Write ? "wb" : "r+b";
}

std::FILE* Open_File(const char* name, FileMode mode) {
    return std::fopen(name, Mode_Text(mode));
}

bool Remove_File(const char* name) {
    return std::remove(name) == 0 || errno == ENOENT;
}

bool Replace_File(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

bool Same_File(const char* a, const char* b) {
    struct stat first {
    }, second{};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool Is_Folder_Separator(char c) {
    return c == '/';
}
