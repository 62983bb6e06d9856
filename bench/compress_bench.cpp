// --compress: sizes and time. For generated key files of smooth motion (30 keys a second), the output's
// size without and with --compress; for game-like curve files (the fixture tool's curves, read back with
// posewright-keys), the original's size beside the read-back's converted without and with --compress.
// The time of the capacity-sized run (100 bones of 1536 keys) with --compress against the same run
// without it, best of the runs, in CPU seconds (user and system) and wall time.
// Aims: smooth clips of 2 s or longer at least 8 times smaller than keys; a game's curves read back and
// compressed again at most 1.25 times the original; the 100 x 1536 run's fit in under a second.
//     posewright_compress_bench WORK_DIR TEMPLATE POSEWRIGHT POSEWRIGHT_KEYS MAKE_FIXTURES [--runs N]
// It fails (status 1) only when a run fails.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <time.h>

#include "child.h"
#include "key_generator.h"

namespace fs = std::filesystem;

namespace {

struct Timing {
    double Seconds, CpuSeconds;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "posewright_compress_bench: %s\n", what.c_str());
    std::exit(1);
}

Timing Run(const fs::path& folder, const std::vector<std::string>& arguments) {
    rusage usage{};
    const double start = Now();
    if (Run_Child(folder, arguments, usage) != 0) Fail(arguments[0] + " failed in " + folder.string());
    return {Now() - start, Cpu_Seconds(usage)};
}

// The best of `runs` runs, by CPU time.
Timing Best(const fs::path& folder, const std::vector<std::string>& arguments, int runs) {
    Timing best{1e9, 1e9};
    for (int i = 0; i < runs; ++i) {
        const Timing t = Run(folder, arguments);
        if (t.CpuSeconds < best.CpuSeconds) best = t;
    }
    return best;
}

long Size(const fs::path& file) {
    return static_cast<long>(fs::file_size(file));
}

void Report(const char* name, long keys, long compressed, const char* aim) {
    std::printf("%-34s %11ld %11ld %8.1fx  %s\n", name, keys, compressed,
                static_cast<double>(keys) / static_cast<double>(compressed), aim);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) Fail("usage: WORK_DIR TEMPLATE POSEWRIGHT POSEWRIGHT_KEYS MAKE_FIXTURES [--runs N]");
    const fs::path work = fs::absolute(argv[1]) / "compress";
    const std::string templateFile = fs::absolute(argv[2]).string(),
                      posewright = fs::absolute(argv[3]).string(), keys = fs::absolute(argv[4]).string(),
                      fixtures = fs::absolute(argv[5]).string();
    const int runs = argc > 7 && std::strcmp(argv[6], "--runs") == 0 ? std::max(1, std::atoi(argv[7])) : 3;
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy_file(templateFile, work / "Empty.kf");

    std::printf("\nSizes in bytes                       keys only  --compress  smaller\n");
    const struct {
        const char* Name;
        KeyFileShape Shape;
    } smooth[] = {{"smooth, 60 bones, 2 s", {60, 61, KeyFormat::Quaternion}},
                  {"smooth, 60 bones, 4 s (typical)", {60, 120, KeyFormat::Quaternion}},
                  {"smooth, 100 bones, 51 s", {100, 1536, KeyFormat::Quaternion}},
                  {"smooth, 251 bones, 51 s (capacity)", {251, 1536, KeyFormat::Quaternion}}};
    for (const auto& file : smooth) {
        if (!Write_Key_File((work / "k.txt").string(), file.Shape)) Fail("cannot write a key file");
        Run(work, {posewright, "-o", "plain.kf", "Empty.kf", "k.txt"});
        Run(work, {posewright, "--compress", "-o", "small.kf", "Empty.kf", "k.txt"});
        Report(file.Name, Size(work / "plain.kf"), Size(work / "small.kf"), "aim: at least 8x");
    }

    std::printf("\nGame-like curves read back          original   read back  --compress  of original\n");
    const struct {
        const char* Name;
        const char* Points;
        const char* Seconds;
        int Bones;
    } games[] = {{"100 bones, 200 points, 50 s", "200", "50", 100},
                 {"60 bones, 12 points, 2 s", "12", "2", 60},
                 {"60 bones, 40 points, 8 s", "40", "8", 60}};
    for (const auto& game : games) {
        std::vector<std::string> make = {fixtures, "curves", "game.kf", game.Points, game.Seconds};
        for (int b = 0; b < game.Bones; ++b)
            make.push_back("Bone" + std::to_string(b));
        Run(work, make);
        Run(work, {keys, "game.kf"});
        Run(work, {posewright, "-o", "plain.kf", "Empty.kf", "game_keys.txt"});
        Run(work, {posewright, "--compress", "-o", "small.kf", "Empty.kf", "game_keys.txt"});
        const long original = Size(work / "game.kf"), small = Size(work / "small.kf");
        std::printf("%-34s %9ld %11ld %11ld %8.2fx  aim: at most 1.25x\n", game.Name, original,
                    Size(work / "plain.kf"), small,
                    static_cast<double>(small) / static_cast<double>(original));
    }

    if (!Write_Key_File((work / "k.txt").string(), {100, 1536, KeyFormat::Quaternion})) Fail("cannot write");
    const Timing plain = Best(work, {posewright, "-o", "plain.kf", "Empty.kf", "k.txt"}, runs);
    const Timing small = Best(work, {posewright, "--compress", "-o", "small.kf", "Empty.kf", "k.txt"}, runs);
    std::printf("\n100 bones x 1536 keys, best of %d      CPU s    wall s\n", runs);
    std::printf("keys only                           %7.3f   %7.3f\n", plain.CpuSeconds, plain.Seconds);
    std::printf("--compress                          %7.3f   %7.3f\n", small.CpuSeconds, small.Seconds);
    std::printf("the fit alone (the difference)      %7.3f             aim: under 1 s\n",
                small.CpuSeconds - plain.CpuSeconds);
    return 0;
}
