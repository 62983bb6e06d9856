// posewright-keys' entry, called by the platform layer's main or wmain.
#include "driver/keys_run.h"
#include "platform/platform.h"

int Program_Main(int argc, const char* const* argv) {
    return Posewright_Keys_Main(argc, argv);
}
