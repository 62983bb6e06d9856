// The converter's entry, called by the platform layer's main or wmain.
#include "driver/converter.h"
#include "platform/platform.h"

int Program_Main(int argc, const char* const* argv) {
    return Posewright_Main(argc, argv);
}
