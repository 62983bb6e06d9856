// The built program on a few hundred inputs mutated from our examples, one test per family (fixed seeds).
// Every run must end by itself within a second, with status 0 after the success line and 1 otherwise, and
// leave either a complete output that the independent decoder reads back after the success message, or none
// after an error: never a partial file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "capacities.h"
#include "support/kf_decoder.h"
#include "support/run_binary.h"
#include "support/template_writer.h"

namespace {

using Rng = std::mt19937;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

const auto Text = [](const auto& bytes) { return std::string(bytes.begin(), bytes.end()); };
const auto Kf = [] { return Text(Read_File(std::string(POSEWRIGHT_EXAMPLES) + "/Empty.kf")); };
const auto Keys = [] { return Text(Read_File(std::string(POSEWRIGHT_EXAMPLES) + "/AnimationKeys.txt")); };
const auto Below = [](Rng& rng, std::size_t bound) { return bound == 0 ? 0 : rng() % bound; };
// Every table of the container in use, so that mutations reach every part of the reader.
std::string Rich_Kf(std::size_t bodySize = 40) {
    TemplateLayout layout = Example_Template();
    layout.ShortStrings = {"creator", "", "exporter"};
    layout.BlockTypes = {"NiNode", "NiTransformData", "NiTextKeyExtraData"};
    layout.BlockTypeIndex = {0, 1, 2, 0};
    layout.Bodies = {{1, 2, 3, 4}, {}, std::vector<std::uint8_t>(bodySize, 0xAB), {5}};
    layout.Strings = {"Bip01", "NPC Root [Root]", "start"};
    layout.Roots = {0, 3};
    return Text(Build_Template(layout));
}
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}
std::string Records(int bones) { // bones 0 to `bones`, one key each
    std::string text = "Quaternions\n1\n";
    for (int b = 0; b <= bones; ++b)
        text += "Bone name: \"Bone " + std::to_string(b) + "\";\n1\n0 0 0 0 1 0 0 0 1\n";
    return text;
}

// The generator table. A family makes `Templates` cases from the example's template and the rich one in turn,
// then `KeyFiles` from the example key file: the i-th by `Mutate` from its source. The sanitized program
// starts several times slower: that build runs every third case of the Random families.
struct Family {
    const char* Name;
    std::size_t Templates, KeyFiles;
    bool Random;
    std::function<std::string(Rng&, std::string, std::size_t)> Mutate;
};
const std::vector<Family> kFamilies = {
    {"UnchangedExamples", 2, 0, false, [](Rng&, std::string s, std::size_t) { return s; }},
    {"Truncations", 60, 30, true,
     [](Rng& r, std::string s, std::size_t) { return s.substr(0, Below(r, s.size() + 1)); }},
    {"BitFlips", 48, 40, true,
     [](Rng& r, std::string s, std::size_t) {
         for (std::size_t n = 1 + Below(r, 3); n-- > 0 && !s.empty();)
             s[Below(r, s.size())] ^= static_cast<char>(1u << Below(r, 8));
         return s;
     }},
    {"NulBytes", 15, 25, true,
     [](Rng& r, std::string s, std::size_t) {
         for (std::size_t n = 1 + Below(r, 3); n-- > 0;)
             s.insert(Below(r, s.size() + 1), 1, '\0');
         return s;
     }},
    // 4 bytes set to a count at or past a capacity; first, a block of the largest size that the reader takes.
    {"HugeCountsInTemplates", 40, 0, true,
     [](Rng& r, std::string s, std::size_t i) {
         if (i == 0) return Rich_Kf(kMaxBlockSize);
         const std::uint32_t counts[] = {~0u, 0x7FFFFFFF, 0x80000000, 1024,     1025,
                                         256, 257,        0x500000,   0x500001, 0x10000};
         const std::uint32_t count = counts[Below(r, std::size(counts))];
         for (std::size_t b = 0, at = Below(r, s.size() - 3); b < 4; ++b)
             s[at + b] = static_cast<char>(count >> (8 * b));
         return s;
     }},
    // Bones past the record or the string table, a huge duration, huge and negative counts of keys.
    {"HugeKeyCounts", 0, 12, false,
     [](Rng&, std::string s, std::size_t i) {
         std::vector<std::string> keys = {Records(300), Records(255), Replaced(s, "\n1.0\n", "\n1e999999\n")};
         for (const char* count : {"2147483647", "2147483648", "-2147483648", "4294967296",
                                   "99999999999999999999", "1537", "1536", "-1", "0"})
             keys.push_back(Replaced(s, "[Root]\";\n3\n", "[Root]\";\n" + std::string(count) + "\n"));
         return keys.at(i);
     }},
    {"SplicedKeyLines", 0, 40, true,
     [](Rng& r, std::string s, std::size_t i) { // dropped, repeated, swapped, joined, or another's tail
         std::vector<std::string> lines;
         std::istringstream in(s);
         for (std::string line; std::getline(in, line);)
             lines.push_back(line + "\n");
         const std::size_t a = Below(r, lines.size()), b = Below(r, lines.size());
         if (i % 5 == 0) lines[a].clear();
         if (i % 5 == 1) lines[a] += lines[b];
         if (i % 5 == 2) std::swap(lines[a], lines[b]);
         if (i % 5 == 3) lines[a].pop_back();
         if (i % 5 == 4) lines[a] = lines[b].substr(Below(r, lines[b].size()));
         return std::accumulate(lines.begin(), lines.end(), std::string());
     }},
    {"LongLines", 0, 6, false,
     [](Rng&, std::string s, std::size_t i) {
         const std::vector<std::string> all = {
             std::string(100000, 'Q') + "Quaternions" + s,
             Replaced(s, "NPC Spine", std::string(300, 'n')),
             Replaced(s, "NPC Spine", std::string(100000, 'n')),
             Replaced(s, "0.5 0.0 0.0 2.5", "0.5 0.0 0.0 " + std::string(100000, '7') + ".5"),
             Replaced(s, "\n0.5 ", "\n" + std::string(70000, ' ')), // past a read chunk
             Replaced(s, "\n", " ")};
         return all.at(i);
     }},
    // The template's header line ended by CR; the key file's lines ended by CR, from the start or the middle
    // on.
    {"CrOnlyLineEnds", 1, 3, false,
     [](Rng&, std::string s, std::size_t i) {
         const std::string cr = Replaced(s, "\n", "\r"), header = s.substr(0, s.find('\n')) + "\r";
         const std::vector<std::string> all = {header + s.substr(header.size()), cr,
                                               s.substr(0, s.size() / 2) + cr.substr(s.size() / 2),
                                               Replaced(s, "\n", "\r\r\n")};
         return all.at(i);
     }},
};

// Empty when the family's i-th case ended as it must; otherwise what went wrong.
std::string Problem_Of(const Family& family, std::size_t i) {
    Rng rng(20261206 + static_cast<unsigned>(i)); // a seed per case: the sanitized build's third are the same
    const std::string kf = i < family.Templates ? family.Mutate(rng, i % 2 ? Rich_Kf() : Kf(), i) : Kf();
    const std::string keys = i < family.Templates ? Keys() : family.Mutate(rng, Keys(), i);
    TempDir dir;
    Write_File(dir / "Empty.kf", kf);
    Write_File(dir / "keys.txt", keys);
    const RunResult run = Run_Posewright(dir.Path, {"Empty.kf", "keys.txt"}, 1); // -1 past a second
    const bool done = run.Transcript.ends_with("[ Converting Animation to KF format is DONE ! ]\n");
    if (run.ExitCode != (done ? 0 : 1))
        return "exit status " + std::to_string(run.ExitCode) + "\n" + run.Transcript;
    std::vector<std::uint8_t> output;
    if (std::filesystem::exists(dir / "Empty_new.kf")) output = Read_File(dir / "Empty_new.kf");
    if (output.empty() && (done || run.Transcript.find("ERROR") == std::string::npos))
        return "no output and no error message:\n" + run.Transcript;
    if (output.empty()) return "";
    if (!done) return "an output of " + std::to_string(output.size()) + " bytes after:\n" + run.Transcript;
    NifFile file;
    DecodedAnimation animation;
    std::string error, bones;
    if (!Decode_Nif(output, file, error)) return "the output does not decode: " + error;
    // The example's three bones add eight blocks; other key files go with the example template, of none.
    const bool exampleKeys = keys == Keys();
    const std::size_t templateBlocks = exampleKeys ? std::max<std::size_t>(file.Bodies.size(), 8) - 8 : 0;
    if (!Decode_Animation(file, templateBlocks, animation, error))
        return "the animation does not decode: " + error;
    for (const DecodedBone& bone : animation.Bones)
        bones += bone.Name + " " + std::to_string(bone.Keys.size()) + "\n";
    if (exampleKeys && !std::string("NPC Root [Root] 3\nNPC Spine 3\nNPC Head 2\n").starts_with(bones))
        return "not the example's bones:\n" + bones;
    return "";
}

class Families : public testing::TestWithParam<std::size_t> {};

TEST_P(Families, EveryRunEndsCleanly) {
    // A sanitized program's leak check at exit scans its 17 MiB of tables and triples the time of a run;
    // leaks stay checked by the in-process tests and the corpus replay.
    const std::string options = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    if (kSanitized && !options.ends_with("detect_leaks=0"))
        setenv("ASAN_OPTIONS", (options + ":detect_leaks=0").c_str(), 1);
    const Family& family = kFamilies[GetParam()];
    const std::size_t count = family.Templates + family.KeyFiles,
                      stride = kSanitized && family.Random ? 3 : 1;
    const auto run_from = [&](std::size_t first) { // two at a time: the machine's cores
        for (std::size_t i = first; i < count; i += 2 * stride)
            EXPECT_EQ(Problem_Of(family, i), "") << "case " << i;
    };
    std::future<void> other = std::async(std::launch::async, run_from, stride);
    run_from(0);
    other.get();
}

INSTANTIATE_TEST_SUITE_P(Mutation, Families, testing::Range<std::size_t>(0, kFamilies.size()),
                         [](const auto& info) { return std::string(kFamilies[info.param].Name); });

} // namespace
