// Writes the files made by the fixture library that the repository keeps:
//     make_fixtures example examples/Empty.kf    the bundled template
//     make_fixtures seeds tests/fuzz/corpus      the seed inputs of the four fuzz targets (seed-*)
// Seeds are small on purpose: libFuzzer grows them, and the replay in every test run stays fast.
#include <cstring>
#include <filesystem>

#include "support/fixtures.h"

static void Write_Seeds(const std::filesystem::path& root) {
    const std::string quaternions = Key_Text(false, 1, Generated_Bones(2, 3, false, 1));
    const std::string euler = Key_Text(true, 2.5f, Generated_Bones(2, 2, true, 2));
    const ByteString valid = Build_Template(Rich_Template());
    TemplateLayout stale = Rich_Template(), two = Example_Template();
    stale.MaxStringLength = 4;
    two = Animated(Animated(two, false, 1, Generated_Bones(2, 3, false, 3)), false, 2,
                   Generated_Bones(1, 2, false, 4));
    const std::pair<const char*, ByteString> seeds[] = {
        {"template/seed-example", Build_Template(Example_Template())},
        {"template/seed-rich", Build_Template(Rich_Template())},
        {"template/seed-stale-max-string-length", Build_Template(stale)},
        {"key_file/seed-quaternion", As_Bytes(quaternions)},
        {"key_file/seed-euler", As_Bytes(euler)},
        {"key_file/seed-both-formats",
         As_Bytes("Quaternions and Euler\n1\n" + Name_Line("A") +
                  "1\n0 1 2 3 1 0 0 0 1 0 1 2 3 0.1 0.2 0.3 1\n" + Name_Line("E") + "0\n")},
        {"key_file/seed-number-forms",
         As_Bytes("Quaternions\n0x1.8p1\n" + Name_Line("A") +
                  "2\n-inf nan 1e39 -1e-50 0X1P-3 infinity +.5 5. 1e+2\n1 2 x3 4\n")},
        {"conversion/seed-rich-euler",
         As_Bytes(std::string(valid.begin(), valid.end()) + "\n#==KEYS==#\n" + euler)},
        {"kf/seed-two-sequences", Build_Template(two)},
    };
    for (const auto& [name, bytes] : seeds) {
        std::filesystem::create_directories((root / name).parent_path());
        Write_File((root / name).string(), bytes);
    }
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "example") == 0) {
        Write_File(argv[2], Build_Template(Example_Template()));
    } else if (argc == 3 && std::strcmp(argv[1], "seeds") == 0) {
        Write_Seeds(argv[2]);
    } else {
        std::fprintf(stderr, "usage: make_fixtures example FILE.kf | make_fixtures seeds CORPUS_FOLDER\n");
        return 2;
    }
    return 0;
}
