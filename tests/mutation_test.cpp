// The built program on a few hundred inputs mutated from the bundled example and a richer template:
// truncations, bit flips, spliced lines, huge counts, long lines, stray NUL bytes, CR-only line ends.
// Every run must end by itself within a second with status 0, and leave either a complete output that
// the independent decoder reads back, or an empty or absent one: never a partly written file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/kf_decoder.h"
#include "support/run_binary.h"
#include "support/template_writer.h"

namespace {

using ByteVector = std::vector<std::uint8_t>;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif
// A sanitized program starts several times slower: that build runs every third case of the large
// random families, and every hand-picked case.
constexpr std::size_t kRandomStride = kSanitized ? 3 : 1;
constexpr double kSecondsPerRun = 1.0;
constexpr int kHangSeconds = 10; // a hung run is ended here, so that the suite still finishes

// The example key file converts these bones with these key counts.
const std::vector<std::string> kExampleBones = {"NPC Root [Root]", "NPC Spine", "NPC Head"};
const std::vector<std::size_t> kExampleKeyCounts = {3, 3, 2};

ByteVector Example_Template_Bytes() {
    return Read_File(std::string(POSEWRIGHT_EXAMPLES) + "/Empty.kf");
}

std::string Example_Keys() {
    const ByteVector bytes = Read_File(std::string(POSEWRIGHT_EXAMPLES) + "/AnimationKeys.txt");
    return {bytes.begin(), bytes.end()};
}

// Every table of the container in use, so that mutations reach every part of the reader.
TemplateLayout Rich_Layout() {
    TemplateLayout layout = Example_Template();
    layout.ShortStrings = {"creator", "", "exporter"};
    layout.BlockTypes = {"NiNode", "NiTransformData", "NiTextKeyExtraData"};
    layout.BlockTypeIndex = {0, 1, 2, 0};
    layout.Bodies = {{1, 2, 3, 4}, {}, ByteVector(40, 0xAB), {5}};
    layout.Strings = {"Bip01", "NPC Root [Root]", "start"};
    layout.Roots = {0, 3};
    return layout;
}

struct MutatedCase {
    std::string Name;
    ByteVector Template;
    std::string Keys;
    bool ExampleKeys; // the key file is the example's, so the output's bones are known
};

// One mutation source: a fixed seed, so every run makes the same cases.
struct Mutator {
    std::mt19937 Random{20261206};
    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : Random() % bound; }
};

MutatedCase Template_Case(const std::string& name, ByteVector bytes) {
    return {name, std::move(bytes), Example_Keys(), true};
}

MutatedCase Keys_Case(const std::string& name, std::string keys) {
    return {name, Example_Template_Bytes(), std::move(keys), false};
}

template <typename Bytes>
Bytes Truncated(const Bytes& bytes, std::size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

template <typename Bytes>
Bytes Bit_Flipped(Bytes bytes, Mutator& mutator, std::size_t flips) {
    for (std::size_t i = 0; i < flips && !bytes.empty(); ++i)
        bytes[mutator.Below(bytes.size())] ^= static_cast<typename Bytes::value_type>(1u << mutator.Below(8));
    return bytes;
}

template <typename Bytes>
Bytes With_Nul_Bytes(Bytes bytes, Mutator& mutator, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(mutator.Below(bytes.size() + 1)), 0);
    return bytes;
}

std::vector<std::string> Lines_Of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// ---- the cases -----------------------------------------------------------------------------------

std::vector<MutatedCase> Truncated_Templates() {
    std::vector<MutatedCase> cases;
    for (const ByteVector& whole : {Example_Template_Bytes(), Build_Template(Rich_Layout())}) {
        for (std::size_t length = 0; length < whole.size(); length += 1 + whole.size() / 40)
            cases.push_back(
                Template_Case("template cut to " + std::to_string(length), Truncated(whole, length)));
    }
    return cases;
}

std::vector<MutatedCase> Bit_Flipped_Templates() {
    Mutator mutator;
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 60; ++i) {
        const ByteVector whole = i % 3 == 0 ? Example_Template_Bytes() : Build_Template(Rich_Layout());
        cases.push_back(Template_Case("template bit flip " + std::to_string(i),
                                      Bit_Flipped(whole, mutator, 1 + mutator.Below(3))));
    }
    return cases;
}

// Each 4-byte window of the rich template in turn set to a count at or past some capacity.
std::vector<MutatedCase> Templates_With_Huge_Counts() {
    const std::uint32_t counts[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 1024,     1025,
                                    256,        257,        0x500000,   0x500001, 0x10000};
    Mutator mutator;
    const ByteVector whole = Build_Template(Rich_Layout());
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 40; ++i) {
        ByteVector bytes = whole;
        const std::size_t at = mutator.Below(bytes.size() - 3);
        const std::uint32_t count = counts[mutator.Below(std::size(counts))];
        for (int b = 0; b < 4; ++b)
            bytes[at + b] = static_cast<std::uint8_t>(count >> (8 * b));
        cases.push_back(
            Template_Case("template count " + std::to_string(count) + " at " + std::to_string(at), bytes));
    }
    return cases;
}

std::vector<MutatedCase> Templates_With_Nul_Bytes() {
    Mutator mutator;
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 15; ++i)
        cases.push_back(
            Template_Case("template NUL bytes " + std::to_string(i),
                          With_Nul_Bytes(Build_Template(Rich_Layout()), mutator, 1 + mutator.Below(3))));
    return cases;
}

std::vector<MutatedCase> Truncated_Key_Files() {
    const std::string keys = Example_Keys();
    std::vector<MutatedCase> cases;
    for (std::size_t length = 0; length < keys.size(); length += 1 + keys.size() / 40)
        cases.push_back(Keys_Case("key file cut to " + std::to_string(length), Truncated(keys, length)));
    return cases;
}

std::vector<MutatedCase> Bit_Flipped_Key_Files() {
    Mutator mutator;
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 50; ++i) {
        cases.push_back(Keys_Case("key file bit flip " + std::to_string(i),
                                  Bit_Flipped(Example_Keys(), mutator, 1 + mutator.Below(4))));
    }
    return cases;
}

// Lines dropped, repeated, swapped, joined, or taken from elsewhere in the file.
std::vector<MutatedCase> Spliced_Key_Files() {
    Mutator mutator;
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 40; ++i) {
        std::vector<std::string> lines = Lines_Of(Example_Keys());
        const std::size_t a = mutator.Below(lines.size()), b = mutator.Below(lines.size());
        switch (i % 5) {
        case 0:
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(a));
            break;
        case 1:
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(a), lines[b]);
            break;
        case 2:
            std::swap(lines[a], lines[b]);
            break;
        case 3:
            lines[a].pop_back();
            break; // joined with the next line
        default:
            lines[a] = lines[b].substr(mutator.Below(lines[b].size()));
            break;
        }
        cases.push_back(Keys_Case("spliced key lines " + std::to_string(i), Joined(lines)));
    }
    return cases;
}

std::string Records(int bones) {
    std::string text = "Quaternions\n1\n";
    for (int b = 0; b <= bones; ++b)
        text += Name_Line("Bone " + std::to_string(b)) + "1\n0 0 0 0 1 0 0 0 1\n";
    return text;
}

std::vector<MutatedCase> Key_Files_With_Huge_Counts() {
    std::vector<MutatedCase> cases;
    for (const char* count : {"2147483647", "2147483648", "-2147483648", "4294967296", "99999999999999999999",
                              "1537", "1536", "-1", "0"}) {
        std::vector<std::string> lines = Lines_Of(Example_Keys());
        lines[3] = std::string(count) + "\n"; // the first bone's key count
        cases.push_back(Keys_Case(std::string("key count ") + count, Joined(lines)));
    }
    cases.push_back(Keys_Case("300 bones: more records than fit", Records(300)));
    cases.push_back(Keys_Case("255 bones: more names than the string table holds", Records(255)));
    cases.push_back(Keys_Case("duration 1e999999", Replaced(Example_Keys(), "\n1.0\n", "\n1e999999\n")));
    return cases;
}

std::vector<MutatedCase> Key_Files_With_Long_Lines() {
    const std::string keys = Example_Keys();
    const std::string longNumber = std::string(100000, '7') + ".5";
    return {
        Keys_Case("format line of 100000 characters", std::string(100000, 'Q') + "Quaternions" + keys),
        Keys_Case("name line of 300 characters", Replaced(keys, "NPC Spine", std::string(300, 'n'))),
        Keys_Case("name line of 100000 characters", Replaced(keys, "NPC Spine", std::string(100000, 'n'))),
        Keys_Case("number of 100000 digits", Replaced(keys, "0.5 0.0 0.0 2.5", "0.5 0.0 0.0 " + longNumber)),
        Keys_Case("white space across the reader's chunk",
                  Replaced(keys, "\n0.5 ", "\n" + std::string(70000, ' '))),
        Keys_Case("one line without any line feed", Replaced(keys, "\n", " ")),
    };
}

std::vector<MutatedCase> Key_Files_With_Nul_Bytes() {
    Mutator mutator;
    std::vector<MutatedCase> cases;
    for (int i = 0; i < 25; ++i) {
        cases.push_back(Keys_Case("key file NUL bytes " + std::to_string(i),
                                  With_Nul_Bytes(Example_Keys(), mutator, 1 + i % 3)));
    }
    return cases;
}

std::vector<MutatedCase> Key_Files_With_Cr_Only_Line_Ends() {
    const std::string keys = Example_Keys();
    const std::string cr = Replaced(keys, "\n", "\r");
    const std::size_t half = keys.size() / 2;
    return {
        Keys_Case("CR line ends", cr),
        Keys_Case("CR line ends from the middle on", keys.substr(0, half) + cr.substr(half)),
        Keys_Case("CR CR LF line ends", Replaced(keys, "\n", "\r\r\n")),
        Template_Case("template header line ended by CR",
                      [] {
                          TemplateLayout layout = Example_Template();
                          layout.HeaderLine.back() = '\r';
                          return Build_Template(layout);
                      }()),
    };
}

// ---- running and checking ------------------------------------------------------------------------

// Empty when the run ended as it must; otherwise what went wrong.
std::string Problem_Of(const MutatedCase& c) {
    TempDir dir;
    Write_File(dir / "Empty.kf", c.Template);
    Write_File(dir / "keys.txt", c.Keys);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Run_Posewright(dir.Path, {"Empty.kf", "keys.txt"}, kHangSeconds);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (result.ExitCode != 0)
        return "exit status " + std::to_string(result.ExitCode) + "\n" + result.Transcript;
    if (took.count() > kSecondsPerRun) return "took " + std::to_string(took.count()) + " s";
    const bool done = result.Transcript.ends_with("[ Converting Animation to KF format is DONE ! ]\n");
    const ByteVector output =
        std::filesystem::exists(dir / "Empty_new.kf") ? Read_File(dir / "Empty_new.kf") : ByteVector();
    if (output.empty()) {
        if (done || result.Transcript.find("ERROR") == std::string::npos)
            return "no output and no error message:\n" + result.Transcript;
        return {};
    }
    if (!done) return "an output of " + std::to_string(output.size()) + " bytes after:\n" + result.Transcript;
    NifFile file;
    DecodedAnimation animation;
    std::string error;
    if (!Decode_Nif(output, file, error)) return "the output does not decode: " + error;
    // The example's three bones add eight blocks; otherwise the template is the example, with none.
    const std::size_t templateBlocks =
        c.ExampleKeys ? file.Bodies.size() - std::min<std::size_t>(8, file.Bodies.size()) : 0;
    if (!Decode_Animation(file, templateBlocks, animation, error))
        return "the animation does not decode: " + error;
    if (c.ExampleKeys) {
        for (std::size_t b = 0; b < animation.Bones.size(); ++b) {
            if (b >= kExampleBones.size() || animation.Bones[b].Name != kExampleBones[b] ||
                animation.Bones[b].Keys.size() != kExampleKeyCounts[b])
                return "bone " + std::to_string(b) + " is not the example's";
        }
    }
    return {};
}

// The sanitized program's leak check at exit scans its 17 MiB of tables and triples the time of a
// run; the children only need the checks that end a run at the faulty access. Leaks stay checked by
// the in-process tests and the corpus replay.
void Skip_Leak_Check_In_Children() {
    static const bool once = [] {
        const char* options = std::getenv("ASAN_OPTIONS");
        const std::string merged =
            (options != nullptr && *options != '\0' ? std::string(options) + ":" : "") + "detect_leaks=0";
        return setenv("ASAN_OPTIONS", merged.c_str(), 1) == 0;
    }();
    (void)once;
}

// Runs every stride-th case, two at a time (the machine's cores), and expects each to end cleanly.
void Expect_Each_Ends_Cleanly(const std::vector<MutatedCase>& all, std::size_t stride) {
    if (kSanitized) Skip_Leak_Check_In_Children();
    std::vector<const MutatedCase*> cases;
    for (std::size_t i = 0; i < all.size(); i += stride)
        cases.push_back(&all[i]);
    ASSERT_FALSE(cases.empty());
    std::vector<std::string> problems(cases.size());
    std::vector<std::thread> workers;
    for (std::size_t first = 0; first < 2; ++first) {
        workers.emplace_back([&, first] {
            for (std::size_t i = first; i < cases.size(); i += 2)
                problems[i] = Problem_Of(*cases[i]);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(problems[i], "") << cases[i]->Name;
}

TEST(Mutation, UnchangedExamplesConvertToTheirBones) {
    Expect_Each_Ends_Cleanly({Template_Case("example", Example_Template_Bytes()),
                              Template_Case("rich template", Build_Template(Rich_Layout()))},
                             1);
}

TEST(Mutation, TruncatedTemplates) {
    Expect_Each_Ends_Cleanly(Truncated_Templates(), kRandomStride);
}
TEST(Mutation, BitFlippedTemplates) {
    Expect_Each_Ends_Cleanly(Bit_Flipped_Templates(), kRandomStride);
}
TEST(Mutation, HugeCountsInTemplates) {
    Expect_Each_Ends_Cleanly(Templates_With_Huge_Counts(), kRandomStride);
}
TEST(Mutation, NulBytesInTemplates) {
    Expect_Each_Ends_Cleanly(Templates_With_Nul_Bytes(), kRandomStride);
}
TEST(Mutation, TruncatedKeyFiles) {
    Expect_Each_Ends_Cleanly(Truncated_Key_Files(), kRandomStride);
}
TEST(Mutation, BitFlippedKeyFiles) {
    Expect_Each_Ends_Cleanly(Bit_Flipped_Key_Files(), kRandomStride);
}
TEST(Mutation, SplicedKeyLines) {
    Expect_Each_Ends_Cleanly(Spliced_Key_Files(), kRandomStride);
}
TEST(Mutation, NulBytesInKeyFiles) {
    Expect_Each_Ends_Cleanly(Key_Files_With_Nul_Bytes(), kRandomStride);
}
TEST(Mutation, HugeKeyCounts) {
    Expect_Each_Ends_Cleanly(Key_Files_With_Huge_Counts(), 1);
}
TEST(Mutation, LongLines) {
    Expect_Each_Ends_Cleanly(Key_Files_With_Long_Lines(), 1);
}
TEST(Mutation, CrOnlyLineEnds) {
    Expect_Each_Ends_Cleanly(Key_Files_With_Cr_Only_Line_Ends(), 1);
}

} // namespace
