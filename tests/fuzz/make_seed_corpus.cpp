// Writes the seed corpus of the fuzz targets with the project's own template writer:
// `make_seed_corpus tests/fuzz/corpus` fills its template/, key_file/ and conversion/ folders.
// Seeds are small on purpose: libFuzzer grows them, and the replay in every test run stays fast.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "support/template_writer.h"

namespace {

struct Seed {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
};

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

// Blocks, types, strings, short strings and roots: every table of the container in use.
TemplateLayout Rich_Template() {
    TemplateLayout layout = Example_Template();
    layout.ShortStrings = {"creator", "", "export"};
    layout.BlockTypes = {"NiNode", "NiTransformData"};
    layout.BlockTypeIndex = {0, 1, 0};
    layout.Bodies = {{1, 2, 3, 4}, {}, {0xAB, 0xCD}};
    layout.Strings = {"Bip01", "NPC Root [Root]", "start"};
    layout.Roots = {0, 2};
    return layout;
}

std::vector<Seed> Template_Seeds() {
    TemplateLayout noFooter = Rich_Template();
    noFooter.HasFooter = false;
    TemplateLayout trailing = Example_Template();
    trailing.Trailing = {9, 9, 9};
    TemplateLayout longest = Example_Template();
    longest.MaxStringLength = 200;
    TemplateLayout stale = Rich_Template(); // names appended without raising the declared maximum
    stale.MaxStringLength = 4;
    return {
        {"example", Build_Template(Example_Template())},  {"rich", Build_Template(Rich_Template())},
        {"no-footer", Build_Template(noFooter)},          {"trailing-bytes", Build_Template(trailing)},
        {"declared-max-length", Build_Template(longest)}, {"stale-max-string-length", Build_Template(stale)}};
}

const std::string kQuaternionKeys = "Rotations as Quaternions\n1.0\n" + Name_Line("NPC Root [Root]") +
                                    "2\n0 0 0 0 1 0 0 0 1\n1 0 0 2.5 0.9962 0 0 0.0872 1\n" +
                                    Name_Line("NPC Spine") + "1\n0.5 1 2 3 1 0 0 0 1\n" + Name_Line("End") +
                                    "0\n";
const std::string kEulerKeys = "Euler angles\n2.5\n" + Name_Line("Bip01") +
                               "2\n0 0 0 0 0.1 0.2 0.3 1\n2.5 1 1 1 -1e-3 .5 +7 2\n" + Name_Line("End") +
                               "0\n";

std::vector<Seed> Key_Seeds() {
    std::string crlf;
    for (char c : kQuaternionKeys)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return {
        {"quaternion", Text(kQuaternionKeys)},
        {"euler", Text(kEulerKeys)},
        {"both-formats", Text("Quaternions and Euler\n1\n" + Name_Line("A") +
                              "1\n0 1 2 3 1 0 0 0 1 0 1 2 3 0.1 0.2 0.3 1\n" + Name_Line("End") + "0\n")},
        {"crlf", Text(crlf)},
        {"number-forms", Text("Quaternions\n0x1.8p1\n" + Name_Line("A") +
                              "2\n-inf nan 1e39 -1e-50 0X1P-3 infinity +.5 5. 1e+2\n1 2 x3 4 5 6 7 8 9\n" +
                              Name_Line("End") + "0\n")},
        {"unknown-format", Text("Keyframes\n1\n" + Name_Line("A") + "-5\n")},
        {"refused-count", Text("Quaternions\n1\n" + Name_Line("A") + "1537\n")},
        {"short-name-line", Text("Euler\n1\nshort\n0\n")},
    };
}

std::vector<Seed> Conversion_Seeds() {
    TemplateLayout crowded = Example_Template();
    for (int i = 0; i < 250; ++i)
        crowded.Strings.push_back(std::to_string(i));
    const auto join = [](const TemplateLayout& layout, const std::string& keys) {
        return Join_Conversion_Input({Build_Template(layout), Text(keys)});
    };
    return {{"example-quaternion", join(Example_Template(), kQuaternionKeys)},
            {"rich-euler", join(Rich_Template(), kEulerKeys)},
            {"crowded-strings", join(crowded, kQuaternionKeys)}};
}

bool Write_Seeds(const std::filesystem::path& folder, const std::vector<Seed>& seeds) {
    std::filesystem::create_directories(folder);
    for (const Seed& seed : seeds) {
        Write_File((folder / (std::string("seed-") + seed.Name)).string(), seed.Bytes);
        if (!std::filesystem::exists(folder / (std::string("seed-") + seed.Name))) return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seed_corpus CORPUS_FOLDER\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    if (!Write_Seeds(root / "template", Template_Seeds()) || !Write_Seeds(root / "key_file", Key_Seeds()) ||
        !Write_Seeds(root / "conversion", Conversion_Seeds())) {
        std::fprintf(stderr, "cannot write the seeds below %s\n", argv[1]);
        return 1;
    }
    return 0;
}
