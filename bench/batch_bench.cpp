// Times a batch against separate runs on 100 typical key files (56 to 64 bones of 120 keys, quaternions
// and Euler angles by turns) over one template:
//   batch      one run of the converter over the template and all 100 key files;
//   separate   100 runs, one key file each (-o);
//   template   100 runs that stop once the template is read (a key file without records), less 100
//              that stop before it (no template): the 100 template reads;
//   fixed      100 runs on a key file of one bone and one key: the process, the template read and a
//              write of nearly nothing, each time.
// Target: the batch takes no longer than the separate runs without their template reads. Beside it, the
// batch against the conversions alone (separate less fixed), which leave out the processes too. Each
// output of the batch must equal its separate run's, byte for byte.
//     posewright_batch_bench WORK_DIR TEMPLATE POSEWRIGHT [--runs N]
// It fails (status 1) when an output differs or a run fails.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "child.h"
#include "key_generator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKeyFiles = 100;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "posewright_batch_bench: %s\n", what.c_str());
    std::exit(1);
}

// Runs `arguments` in `folder` with standard input and output on /dev/null, as a script would. Its wall
// time in seconds, fork to wait; a run that ends with another status than `status` ends the benchmark.
double Run(const fs::path& folder, const std::vector<std::string>& arguments, int status = 0) {
    rusage usage{};
    const double start = Now();
    if (Run_Child(folder, arguments, usage) != status) Fail(arguments[0] + " failed in " + folder.string());
    return Now() - start;
}

// "k007.txt" and the like: `letter`, the number in three digits, `extension`.
std::string Numbered(char letter, int i, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "%c%03d%s", letter, i, extension);
    return name;
}

std::string Key_File(int i) {
    return Numbered('k', i, ".txt");
}

std::string Bytes_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 != 0 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            positional.push_back(argv[i]);
    }
    if (positional.size() != 3) {
        std::fprintf(stderr, "usage: %s WORK_DIR TEMPLATE POSEWRIGHT [--runs N]\n", argv[0]);
        return 2;
    }
    const fs::path folder = fs::absolute(positional[0]) / "batch";
    const std::string converter = fs::absolute(positional[2]).string();
    fs::create_directories(folder);
    fs::copy_file(positional[1], folder / "Empty.kf", fs::copy_options::overwrite_existing);
    std::vector<std::string> batch = {converter, "Empty.kf"};
    for (int i = 0; i < kKeyFiles; ++i) {
        const KeyFileShape shape{56 + i % 9, 120, i % 2 == 0 ? KeyFormat::Quaternion : KeyFormat::Euler};
        if (!Write_Key_File((folder / Key_File(i)).string(), shape)) Fail("cannot write " + Key_File(i));
        batch.push_back(Key_File(i));
    }
    if (!Write_Key_File((folder / "one.txt").string(), {1, 1, KeyFormat::Quaternion}))
        Fail("cannot write one.txt");
    if (std::FILE* none = std::fopen((folder / "none.txt").c_str(), "wb")) {
        std::fputs("Rotations as Quaternions\n1\n", none);
        std::fclose(none);
    }

    // Interleaved, so that a slow spell of the machine falls on all alike.
    std::vector<double> batchTimes, separateTimes, templateTimes, fixedTimes;
    for (int r = 0; r < runs; ++r) {
        batchTimes.push_back(Run(folder, batch));
        double separate = 0, templates = 0, fixed = 0;
        for (int i = 0; i < kKeyFiles; ++i) {
            separate += Run(folder, {converter, "-o", Numbered('s', i, ".kf"), "Empty.kf", Key_File(i)});
            templates += Run(folder, {converter, "-o", "none.kf", "Empty.kf", "none.txt"}, 1) -
                         Run(folder, {converter, "-o", "none.kf", "Missing.kf", "none.txt"}, 1);
            fixed += Run(folder, {converter, "-o", "one.kf", "Empty.kf", "one.txt"});
        }
        separateTimes.push_back(separate);
        templateTimes.push_back(templates);
        fixedTimes.push_back(fixed);
    }
    for (int i = 0; i < kKeyFiles; ++i) {
        if (Bytes_of(folder / Numbered('k', i, ".kf")) != Bytes_of(folder / Numbered('s', i, ".kf")))
            Fail("the batch's output " + Numbered('k', i, ".kf") + " differs from its separate run's");
    }

    const double batchTime = Median(batchTimes), separate = Median(separateTimes);
    const double target = separate - Median(templateTimes), conversions = separate - Median(fixedTimes);
    std::printf("\nbatch: %d typical key files over one template, %d timed runs, medians of wall time\n",
                kKeyFiles, runs);
    const struct {
        const char* Label;
        double Seconds;
    } rows[] = {{"one batch run", batchTime},
                {"100 separate runs", separate},
                {"  less their 100 template reads", target},
                {"  less their 100 processes and template reads", conversions}};
    for (const auto& [label, seconds] : rows)
        std::printf("  %-46s %10.1f ms\n", label, seconds * 1e3);
    std::printf("  batch/separate %.3f   batch/(less template reads) %.3f   batch/(less processes) %.3f\n",
                batchTime / separate, batchTime / target, batchTime / conversions);
    std::printf("  outputs the same as the separate runs': yes\n");
    std::printf("  target: batch <= separate runs less their template reads %s\n",
                batchTime <= target ? "met" : "MISSED");
    return 0;
}
