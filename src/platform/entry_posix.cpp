// The entry on POSIX systems: arguments arrive as bytes and are used unchanged.
#include "platform/platform.h"

int main(int argc, char** argv) {
    return Program_Main(argc, argv);
}
