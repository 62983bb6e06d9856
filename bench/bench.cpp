// Times whole conversions against two yardsticks run in the same session, on generated key files:
//   floor   reads the key file and writes a file of the output's size, nothing more;
//   fscanf  the tool itself with its key reader on the C library's fgets and fscanf;
// then posewright-keys on the converter's output against two of its own:
//   floor   reads the .kf and writes a file of the key text's size, nothing more;
//   printf  posewright-keys itself printing its numbers with printf("%.9g");
// and, given --curves, posewright-keys the same way on a .kf of bones on curves, which it samples.
// Each program runs as a child (fork, exec, wait), so a time covers the whole process and the peak
// resident memory is that child's own. The runner keeps its own memory small: a child's peak counts
// the parent's pages it was forked with.
//     posewright_bench WORK_DIR TEMPLATE POSEWRIGHT FSCANF_BUILD FLOOR KEYS PRINTF_BUILD [--runs N]
//                      [--only CASE] [--curves CURVES.kf]
// It fails (status 1) only when the two builds of the converter write different bytes.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "child.h"
#include "key_generator.h"

namespace fs = std::filesystem;

namespace {

struct Case {
    const char* Name;
    KeyFileShape Shape;
    bool Targets;              // the capacity cases carry the speed and memory targets
    double MaxKeysSeconds = 0; // posewright-keys' target in seconds, where it has one
};

// 251 bones fill the 256-entry string table beside the template's root name, "start", "end",
// "SpecialIdle" and "NiTransformController"; 1536 is the key table's capacity.
// make_fixtures curves CURVES.kf 200 50 Bone1 ... Bone100: 100 bones of 200 control points over 50 s, 1501
// keys each at 30 a second.
const Case kCurves = {"curves", {100, 1501, KeyFormat::Quaternion}, false, 1.0};

const Case kCases[] = {
    {"capacity-quaternion", {251, 1536, KeyFormat::Quaternion}, true},
    {"capacity-euler", {251, 1536, KeyFormat::Euler}, true},
    {"typical-quaternion", {60, 120, KeyFormat::Quaternion}, false},
    {"typical-euler", {60, 120, KeyFormat::Euler}, false},
};

constexpr double kMaxOverFloor = 2.0;
constexpr double kMaxOverFscanf = 0.2;
constexpr double kMaxMemoryOverFscanf = 1.0;
constexpr double kMaxKeysOverPrintf = 1.0 / 3;

struct Sample {
    double Seconds;    // wall clock, fork to wait
    double CpuSeconds; // user and system time: less disturbed than the wall clock on a busy machine
    long PeakKiB;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "posewright_bench: %s\n", what.c_str());
    std::exit(1);
}

// Runs `arguments` in `folder` with standard input and output on /dev/null, as a script would.
Sample Run(const fs::path& folder, const std::vector<std::string>& arguments) {
    rusage usage{};
    const double start = Now();
    const int status = Run_Child(folder, arguments, usage);
    const double seconds = Now() - start;
    if (status != 0) Fail(arguments[0] + " failed in " + folder.string());
    return {seconds, Cpu_Seconds(usage), usage.ru_maxrss};
}

// Compares in small chunks, so the runner never holds a whole output.
bool Same_Bytes(const fs::path& a, const fs::path& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa != nullptr && fb != nullptr;
    char ba[1 << 14], bb[1 << 14];
    while (same) {
        const std::size_t na = std::fread(ba, 1, sizeof ba, fa), nb = std::fread(bb, 1, sizeof bb, fb);
        same = na == nb && std::memcmp(ba, bb, na) == 0;
        if (na == 0) break;
    }
    if (fa != nullptr) std::fclose(fa);
    if (fb != nullptr) std::fclose(fb);
    return same;
}

struct Program {
    const char* Label;
    fs::path Folder;
    std::vector<std::string> Arguments;
    std::vector<Sample> Samples;

    double Median(double Sample::*time = &Sample::Seconds) const {
        std::vector<double> times;
        for (const Sample& sample : Samples)
            times.push_back(sample.*time);
        std::sort(times.begin(), times.end());
        const std::size_t n = times.size();
        return n % 2 != 0 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    }
    long Peak() const {
        long peak = 0;
        for (const Sample& sample : Samples)
            peak = std::max(peak, sample.PeakKiB);
        return peak;
    }
};

// A folder of its own per program, each with a copy of its input: the output name is derived from
// the input's, so two programs in one folder would write the same file.
fs::path Program_Folder(const fs::path& caseFolder, const char* name, const fs::path& input) {
    const fs::path folder = caseFolder / name;
    fs::create_directories(folder);
    fs::copy_file(input, folder / input.filename(), fs::copy_options::overwrite_existing);
    return folder;
}

// Warm-up runs, then timed runs interleaved, so that a slow spell of the machine falls on all alike.
void Time_Programs(Program* const* programs, std::size_t count, int runs, int warmups) {
    for (int w = 0; w < warmups; ++w) {
        for (std::size_t p = 0; p < count; ++p)
            Run(programs[p]->Folder, programs[p]->Arguments);
    }
    for (int r = 0; r < runs; ++r) {
        for (std::size_t p = 0; p < count; ++p)
            programs[p]->Samples.push_back(Run(programs[p]->Folder, programs[p]->Arguments));
    }
}

void Print_Programs(Program* const* programs, std::size_t count, std::uintmax_t outputSize) {
    std::printf("  %-16s %12s %12s %14s %14s\n", "program", "median ms", "CPU ms", "peak RSS KiB",
                "output bytes");
    for (std::size_t i = 0; i < count; ++i) {
        const Program* p = programs[i];
        std::printf("  %-16s %12.1f %12.1f %14ld %14ju\n", p->Label, p->Median() * 1e3,
                    p->Median(&Sample::CpuSeconds) * 1e3, p->Peak(), outputSize);
    }
}

const char* Verdict(double value, double limit) {
    return value <= limit ? "met" : "MISSED";
}

struct Outcome {
    bool Same; // the tool and the fscanf build wrote the same bytes
    bool Met;  // and the targets, where the case has them, were met
};

// posewright-keys on the converter's output `kf`, beside its floor and its printf build. True when
// the target, where the case has one, was met.
bool Run_Key_Readback(const Case& c, const fs::path& folder, const fs::path& kf, const fs::path (&exes)[5],
                      int runs, int warmups) {
    const std::string kfName = kf.filename().string();
    Program keys{"posewright-keys", Program_Folder(folder, "keys", kf), {exes[3].string(), kfName}, {}};
    Program printfKeys{"printf", Program_Folder(folder, "printf", kf), {exes[4].string(), kfName}, {}};
    Run(keys.Folder, keys.Arguments);
    const std::uintmax_t textSize = fs::file_size(keys.Folder / (kf.stem().string() + "_keys.txt"));
    Program floor{
        "floor", keys.Folder, {exes[2].string(), kfName, "floor.out", std::to_string(textSize)}, {}};
    Program* programs[] = {&keys, &floor, &printfKeys};
    Time_Programs(programs, std::size(programs), runs, warmups);
    std::printf("  posewright-keys on that .kf, key text %.1f MB\n", static_cast<double>(textSize) / 1e6);
    Print_Programs(programs, std::size(programs), textSize);
    const double overPrintf = keys.Median() / printfKeys.Median();
    const auto cpu = [](const Program& p) { return p.Median(&Sample::CpuSeconds); };
    std::printf("  keys/floor %.2f   keys/printf %.3f   in CPU time: keys/floor %.2f   keys/printf %.3f\n",
                keys.Median() / floor.Median(), overPrintf, cpu(keys) / cpu(floor),
                cpu(keys) / cpu(printfKeys));
    if (c.MaxKeysSeconds > 0) {
        std::printf("  target: time <= %.1f s %s\n", c.MaxKeysSeconds,
                    Verdict(keys.Median(), c.MaxKeysSeconds));
        return keys.Median() <= c.MaxKeysSeconds;
    }
    if (!c.Targets) return true;
    std::printf("  target: time <= %.2f x printf %s\n", kMaxKeysOverPrintf,
                Verdict(overPrintf, kMaxKeysOverPrintf));
    return overPrintf <= kMaxKeysOverPrintf;
}

Outcome Run_Case(const Case& c, const fs::path& work, const fs::path& templateFile, const fs::path (&exes)[5],
                 int runs, int warmups) {
    const fs::path folder = work / c.Name;
    fs::create_directories(folder);
    const fs::path keys = folder / "keys.txt";
    if (!Write_Key_File(keys.string(), c.Shape)) Fail("cannot write " + keys.string());
    const std::string templateName = templateFile.filename().string();
    const std::string outputName = templateFile.stem().string() + "_new.kf";

    Program ours{"posewright",
                 Program_Folder(folder, "ours", templateFile),
                 {exes[0].string(), templateName, "../keys.txt"},
                 {}};
    Program fscanf{"fscanf",
                   Program_Folder(folder, "fscanf", templateFile),
                   {exes[1].string(), templateName, "../keys.txt"},
                   {}};
    Run(ours.Folder, ours.Arguments);
    Run(fscanf.Folder, fscanf.Arguments);
    const bool same = Same_Bytes(ours.Folder / outputName, fscanf.Folder / outputName);
    const std::uintmax_t outputSize = fs::file_size(ours.Folder / outputName);
    Program floor{
        "floor", folder, {exes[2].string(), "keys.txt", "floor.out", std::to_string(outputSize)}, {}};
    // The floor again, holding as much more memory as the tool does beyond the floor.
    const long extra =
        std::max(0L, Run(ours.Folder, ours.Arguments).PeakKiB - Run(folder, floor.Arguments).PeakKiB);
    Program floorMemory{"floor+memory", folder, floor.Arguments, {}};
    floorMemory.Arguments.push_back(std::to_string(extra));

    Program* programs[] = {&ours, &floor, &floorMemory, &fscanf};
    Time_Programs(programs, std::size(programs), runs, warmups);
    std::printf("\n%s: %d bones x %d keys, %s format, key file %.1f MB\n", c.Name, c.Shape.Bones,
                c.Shape.Keys, c.Shape.Format == KeyFormat::Quaternion ? "quaternion" : "Euler",
                static_cast<double>(fs::file_size(keys)) / 1e6);
    Print_Programs(programs, std::size(programs), outputSize);
    const double overFloor = ours.Median() / floor.Median();
    const double overFscanf = ours.Median() / fscanf.Median();
    const double memory = static_cast<double>(ours.Peak()) / static_cast<double>(fscanf.Peak());
    std::printf("  ours/floor %.2f   ours/(floor+memory) %.2f   ours/fscanf %.3f   memory ours/fscanf %.3f\n",
                overFloor, ours.Median() / floorMemory.Median(), overFscanf, memory);
    const auto cpu = [](const Program& p) { return p.Median(&Sample::CpuSeconds); };
    std::printf("  in CPU time: ours/floor %.2f   ours/(floor+memory) %.2f   ours/fscanf %.3f\n",
                cpu(ours) / cpu(floor), cpu(ours) / cpu(floorMemory), cpu(ours) / cpu(fscanf));
    std::printf("  output same as fscanf's: %s\n", same ? "yes" : "NO");
    bool met = true;
    if (c.Targets) {
        std::printf("  targets: time <= %.1f x floor %s, <= %.1f x fscanf %s, memory <= fscanf's %s\n",
                    kMaxOverFloor, Verdict(overFloor, kMaxOverFloor), kMaxOverFscanf,
                    Verdict(overFscanf, kMaxOverFscanf), Verdict(memory, kMaxMemoryOverFscanf));
        met = overFloor <= kMaxOverFloor && overFscanf <= kMaxOverFscanf && memory <= kMaxMemoryOverFscanf;
    }
    met = Run_Key_Readback(c, folder, ours.Folder / outputName, exes, runs, warmups) && met;
    std::fflush(stdout);
    return {same, met};
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    int runs = 7;
    const char* only = nullptr;
    const char* curves = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--curves") == 0 && i + 1 < argc)
            curves = argv[++i];
        else
            positional.push_back(argv[i]);
    }
    if (positional.size() != 7) {
        std::fprintf(stderr,
                     "usage: %s WORK_DIR TEMPLATE POSEWRIGHT FSCANF_BUILD FLOOR KEYS PRINTF_BUILD [--runs N] "
                     "[--only CASE] [--curves CURVES.kf]\n",
                     argv[0]);
        return 2;
    }
    const fs::path work = fs::absolute(positional[0]);
    const fs::path templateFile = fs::absolute(positional[1]);
    fs::path exes[5];
    for (std::size_t i = 0; i < 5; ++i)
        exes[i] = fs::absolute(positional[2 + i]);
    std::printf("%d timed runs a program after 2 warm-up runs; times are the medians of whole processes;\n"
                "ratios are of the wall-clock medians, and of the CPU-time medians on their own line\n",
                runs);
    bool same = true, met = true;
    for (const Case& c : kCases) {
        if (only != nullptr && std::strcmp(only, c.Name) != 0) continue;
        const Outcome outcome = Run_Case(c, work, templateFile, exes, runs, 2);
        same = same && outcome.Same;
        met = met && outcome.Met;
    }
    if (curves != nullptr && (only == nullptr || std::strcmp(only, kCurves.Name) == 0)) {
        const fs::path folder = work / kCurves.Name, kf = fs::absolute(curves);
        fs::create_directories(folder);
        std::printf("\n%s: %d bones on curves sampled to %d keys each, .kf %.1f MB\n", kCurves.Name,
                    kCurves.Shape.Bones, kCurves.Shape.Keys, static_cast<double>(fs::file_size(kf)) / 1e6);
        met = Run_Key_Readback(kCurves, folder, kf, exes, runs, 2) && met;
    }
    std::printf("\n%s\n",
                met ? "all targets met" : "some targets MISSED (the machine may be busy: run again)");
    // Missed targets may be the machine's doing; different bytes are a fault of one of the builds.
    if (!same) std::printf("the tool and the fscanf build wrote DIFFERENT outputs\n");
    return same ? 0 : 1;
}
