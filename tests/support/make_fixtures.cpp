// Writes the files made by the fixture library that the repository keeps:
//     make_fixtures example examples/Empty.kf    the bundled template
//     make_fixtures seeds tests/fuzz/corpus      seed inputs of the five fuzz targets (seed-*; the corpus
//                                                 keeps the curve and skeleton seeds of earlier versions)
//     make_fixtures curves FILE.kf POINTS SECONDS NODE...
//                                                 a sequence "Idle" of SECONDS s, each node on a packed
//                                                 curve of POINTS control points
//     make_fixtures nodes FILE.nif [MIDSCALE]     the chain of three nodes of the node note, its middle
//                                                 node of scale MIDSCALE (default 1)
// Seeds are small on purpose: libFuzzer grows them, and the replay in every test run stays fast.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/fixtures.h"

static void Write_Seeds(const std::filesystem::path& root) {
    const std::string quaternions = Key_Text(false, 1, Generated_Bones(2, 3, false, 1));
    const std::string euler = Key_Text(true, 2.5f, Generated_Bones(2, 2, true, 2));
    const ByteString valid = Build_Template(Rich_Template());
    const std::string sequence =
        "# Sequence settings\nName \"Attack1\"\nCycle clamp\nFrequency 1.5\nWeight .5\n"
        "Start 0.25\nStop 2e0\nAccumulation root \"Bip01\"\nText key 0.5 \"Hit \\\"it\\\\\"\n"
        "Text key 1 \"NPC Root [Root]\"\nPriority \"Bone 0 [x]\" 30\n";
    const std::vector<std::pair<const char*, ByteString>> seeds = {
        {"template/seed-example", Build_Template(Example_Template())},
        {"template/seed-rich", valid},
        {"key_file/seed-quaternion", As_Bytes(quaternions)},
        {"key_file/seed-euler", As_Bytes(euler)},
        {"conversion/seed-sequence", As_Bytes(std::string(valid.begin(), valid.end()) + "\n#==KEYS==#\n" +
                                              euler + "\n#==SEQUENCE==#\n" + sequence)},
        {"sequence_file/seed-every-setting", As_Bytes(sequence)},
        {"sequence_file/seed-bom-crlf-none", As_Bytes("\xEF\xBB\xBF# none\r\n\tCycle 7 \r\nAccumulation root "
                                                      "none\r\nText keys none\r\nStop -1e-50")},
        {"kf/seed-two-sequences",
         Build_Template(Animated(Animated({}, false, 1, {{"A", {}}}), true, 2, {{"B", {}}}))},
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
    } else if (argc > 5 && std::strcmp(argv[1], "curves") == 0) {
        std::vector<Bone> bones;
        for (int i = 5; i < argc; ++i)
            bones.push_back({argv[i], {}});
        Write_File(argv[2], Curves_File(bones, static_cast<std::uint32_t>(std::max(4, std::atoi(argv[3]))),
                                        std::strtof(argv[4], nullptr)));
    } else if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "nodes") == 0) {
        Write_File(argv[2], Chain_Skeleton(argc == 4 ? std::strtof(argv[3], nullptr) : 1));
    } else {
        std::fprintf(stderr, "usage: make_fixtures example FILE.kf | make_fixtures seeds CORPUS_FOLDER | "
                             "make_fixtures curves FILE.kf POINTS SECONDS NODE... | "
                             "make_fixtures nodes FILE.nif [MIDSCALE]\n");
        return 2;
    }
    return 0;
}
