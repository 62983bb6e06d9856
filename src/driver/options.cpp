// Options take one value each: a file name, or for --rate a number, whole or decimal, read with the C
// library in the "C" locale that the programs never leave.
#include "driver/options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr double kMinRate = 1, kMaxRate = 1000;

bool Take_Rate(const char* text, double& rate) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && *end == '\0' && std::isfinite(value) && value >= kMinRate && value <= kMaxRate) {
        rate = value;
        return true;
    }
    std::printf("\nERROR: Option '--rate' takes a number of keys a second from %g to %g, not '%s'!\n",
                kMinRate, kMaxRate, text);
    return false;
}

// "--compress", or "--compress=" and three bounds above 0 separated by commas. False after the ERROR line.
bool Take_Compress(const char* argument, Options& options) {
    options.Compress = true;
    const char* text = argument + std::strlen("--compress");
    if (*text == '\0') return true;
    bool valid = *text++ == '=';
    for (int i = 0; valid && i < 3; ++i) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        valid = end != text && *end == (i < 2 ? ',' : '\0') && std::isfinite(value) && value > 0;
        options.CompressBounds[i] = value;
        text = end + 1;
    }
    if (!valid)
        std::printf(
            "\nERROR: Option '--compress' takes its bounds as --compress=POSITION,ROTATION,SCALE, three "
            "numbers above 0 (units, radians, scale), not '%s'!\n",
            argument);
    return valid;
}

bool Names_Compress(const char* argument) {
    return std::strncmp(argument, "--compress", 10) == 0 && (argument[10] == '\0' || argument[10] == '=');
}

} // namespace

int Take_Options(int argc, const char* const* argv, std::uint32_t accepted, Options& options) {
    const struct {
        const char* Short;
        const char* Long;
        std::uint32_t Flag;
        const char* Value; // what must follow
    } known[] = {{"-o", "--output", kOptionOutput, "a file name"},
                 {"--sequence", "--sequence", kOptionSequence, "a file name"},
                 {"--rate", "--rate", kOptionRate, "a number of keys a second"},
                 {"--skeleton", "--skeleton", kOptionSkeleton, "a file name"}};
    int i = 1;
    for (; i < argc; i += 2) {
        // --compress carries its bounds in itself: it takes one argument, not two.
        if ((accepted & kOptionCompress) != 0 && Names_Compress(argv[i])) {
            if (!Take_Compress(argv[i], options)) return -1;
            --i;
            continue;
        }
        const auto* option = std::find_if(std::begin(known), std::end(known), [&](const auto& o) {
            return (accepted & o.Flag) != 0 &&
                   (std::strcmp(argv[i], o.Short) == 0 || std::strcmp(argv[i], o.Long) == 0);
        });
        if (option == std::end(known)) break;
        if (i + 1 == argc) {
            std::printf("\nERROR: Option '%s' needs %s after it!\n", argv[i], option->Value);
            return -1;
        }
        const char* value = argv[i + 1];
        if (option->Flag == kOptionOutput) options.Output = value;
        if (option->Flag == kOptionSequence) options.Sequence = value;
        if (option->Flag == kOptionSkeleton) options.Skeleton = value;
        if (option->Flag == kOptionRate && !Take_Rate(value, options.Rate)) return -1;
    }
    return i;
}
