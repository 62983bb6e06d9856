// Options take one value each: a file name, or for --rate a number, whole or decimal, read with the C
// library in the "C" locale that the programs never leave; --nodes and --template take none. Help and
// version are asked for among them.
#include "driver/options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {

constexpr double kMinRate = 1, kMaxRate = 1000;

// The refusal of `text` as a rate; "" when it is one, taken into `rate`.
std::string Take_Rate(const char* text, double& rate) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && *end == '\0' && std::isfinite(value) && value >= kMinRate && value <= kMaxRate) {
        rate = value;
        return "";
    }
    char refusal[128];
    std::snprintf(refusal, sizeof refusal,
                  "Option '--rate' takes a number of keys a second from %g to %g, not '", kMinRate, kMaxRate);
    return refusal + std::string(text) + "'";
}

bool Is(const char* argument, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return std::strcmp(argument, name) == 0; });
}

// "--compress", or "--compress=" and three bounds above 0 separated by commas, taken into `options`. The
// refusal, "" when there is none.
std::string Take_Compress(const char* argument, Options& options) {
    options.Compress = true;
    const char* text = argument + std::strlen("--compress");
    if (*text == '\0') return "";
    bool valid = *text++ == '=';
    for (int i = 0; valid && i < 3; ++i) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        valid = end != text && *end == (i < 2 ? ',' : '\0') && std::isfinite(value) && value > 0;
        options.CompressBounds[i] = value;
        text = end + 1;
    }
    if (valid) return "";
    return "Option '--compress' takes its bounds as --compress=POSITION,ROTATION,SCALE, three numbers above "
           "0 "
           "(units, radians, scale), not '" +
           std::string(argument) + "'";
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
        const char* Value; // what must follow, null: nothing
    } known[] = {{"-o", "--output", kOptionOutput, "a file name"},
                 {"--sequence", "--sequence", kOptionSequence, "a file name"},
                 {"--rate", "--rate", kOptionRate, "a number of keys a second"},
                 {"--skeleton", "--skeleton", kOptionSkeleton, "a file name"},
                 {"--nodes", "--nodes", kOptionNodes, nullptr},
                 {"--template", "--template", kOptionTemplate, nullptr}};
    // The first option that takes no other, and the first other one given.
    const char* alone = nullptr;
    const char* other = nullptr;
    // The first refusal is told, unless help or the version was asked for: then nothing else is done.
    std::string refusal;
    int i = 1;
    while (i < argc) {
        const char* argument = argv[i++];
        if (std::strcmp(argument, "--") == 0) break;
        const bool help = Is(argument, {"--help", "-h", "/?"}), version = Is(argument, {"--version"});
        options.Help = options.Help || help;
        options.Version = options.Version || version;
        if (help || version) continue;
        // --compress carries its bounds in itself, not in the argument after it.
        if ((accepted & kOptionCompress) != 0 && Names_Compress(argument)) {
            const std::string fault = Take_Compress(argument, options);
            if (refusal.empty()) refusal = fault;
            continue;
        }
        const auto* option = std::find_if(std::begin(known), std::end(known), [&](const auto& o) {
            return (accepted & o.Flag) != 0 && Is(argument, {o.Short, o.Long});
        });
        if (option == std::end(known) && argument[0] != '-') {
            --i; // the first file
            break;
        }
        std::string fault;
        if (option != std::end(known)) {
            if (option->Value == nullptr && alone == nullptr) {
                alone = option->Long;
            } else if (other == nullptr && (alone == nullptr || std::strcmp(option->Long, alone) != 0)) {
                other = option->Long;
            }
            if (alone != nullptr && other != nullptr && refusal.empty())
                refusal =
                    "Option '" + std::string(alone) + "' takes no other option, and '" + other + "' is given";
        }
        if (option == std::end(known)) {
            fault = "Unknown option '" + std::string(argument) + "' (see --help)";
        } else if (option->Value == nullptr) {
            options.Nodes = options.Nodes || option->Flag == kOptionNodes;
            options.Template = options.Template || option->Flag == kOptionTemplate;
        } else if (i == argc) {
            fault = "Option '" + std::string(argument) + "' needs " + option->Value + " after it";
        } else {
            const char* value = argv[i++];
            if (option->Flag == kOptionOutput) options.Output = value;
            if (option->Flag == kOptionSequence) options.Sequence = value;
            if (option->Flag == kOptionSkeleton) options.Skeleton = value;
            if (option->Flag == kOptionRate) fault = Take_Rate(value, options.Rate);
        }
        if (refusal.empty()) refusal = fault;
    }
    if (options.Help || options.Version || refusal.empty()) return i;
    std::printf("\nERROR: %s!\n", refusal.c_str());
    return -1;
}
