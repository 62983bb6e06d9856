// The entry on Windows: the arguments arrive in UTF-16 and are narrowed by the driver.
#include "driver/driver.h"

int wmain(int argc, wchar_t** argv) {
    return Posewright_Main_Wide(argc, argv);
}
