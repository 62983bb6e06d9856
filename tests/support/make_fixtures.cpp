// Writes the files made by the fixture library that the repository keeps:
//     make_fixtures example examples/Empty.kf    the bundled template
//     make_fixtures seeds tests/fuzz/corpus      the seed inputs of the four fuzz targets (seed-*)
// Seeds are small on purpose: libFuzzer grows them, and the replay in every test run stays fast.
#include <cstring>
#include <filesystem>

#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;

const std::string kQuaternions = Key_Text(false, 1, Generated_Bones(2, 3, false, 1));
const std::string kEuler = Key_Text(true, 2.5f, Generated_Bones(2, 2, true, 2));

void Seed(const fs::path& folder, const std::string& name, const ByteString& bytes) {
    fs::create_directories(folder);
    Write_File((folder / ("seed-" + name)).string(), bytes);
}

void Write_Seeds(const fs::path& root) {
    TemplateLayout stale = Rich_Template(), noFooter = Rich_Template();
    stale.MaxStringLength = 4;
    noFooter.HasFooter = false;
    Seed(root / "template", "example", Build_Template(Example_Template()));
    Seed(root / "template", "rich", Build_Template(Rich_Template()));
    Seed(root / "template", "stale-max-string-length", Build_Template(stale));
    Seed(root / "template", "no-footer", Build_Template(noFooter));

    std::string crlf;
    for (char c : kQuaternions)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Seed(root / "key_file", "quaternion", As_Bytes(kQuaternions));
    Seed(root / "key_file", "euler", As_Bytes(kEuler));
    Seed(root / "key_file", "crlf", As_Bytes(crlf));
    Seed(root / "key_file", "both-formats",
         As_Bytes("Quaternions and Euler\n1\n" + Name_Line("A") +
                  "1\n0 1 2 3 1 0 0 0 1 0 1 2 3 0.1 0.2 0.3 1\n" + Name_Line("End") + "0\n"));
    Seed(root / "key_file", "number-forms",
         As_Bytes("Quaternions\n0x1.8p1\n" + Name_Line("A") +
                  "2\n-inf nan 1e39 -1e-50 0X1P-3 infinity +.5 5. 1e+2\n1 2 "
                  "x3 4 5 6 7 8 9\n" +
                  Name_Line("End") + "0\n"));
    Seed(root / "key_file", "refused", As_Bytes("Euler\n1\nshort\n0\n" + Name_Line("A") + "1537\n"));

    const std::string separator = "\n#==KEYS==#\n";
    ByteString joined = Build_Template(Rich_Template());
    for (const std::string& part : {separator, kEuler})
        joined.insert(joined.end(), part.begin(), part.end());
    Seed(root / "conversion", "rich-euler", joined);

    TemplateLayout two = Animated(Example_Template(), false, 1, Generated_Bones(2, 3, false, 3));
    two = Animated(two, false, 2, Generated_Bones(1, 2, false, 4)); // two sequences
    TemplateLayout odd = Animated(Example_Template(), true, 1, Generated_Bones(3, 2, true, 5));
    odd.Bodies[0].pop_back(); // damaged transform data
    odd.BlockTypes.push_back("NiBSplineCompTransformInterpolator");
    odd.BlockTypeIndex[3] = static_cast<std::uint16_t>(odd.BlockTypes.size() - 1);
    Seed(root / "kf", "two-sequences", Build_Template(two));
    Seed(root / "kf", "damaged-and-compressed", Build_Template(odd));
}

} // namespace

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
