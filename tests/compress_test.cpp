// --compress, row by row: a key text through the conversion, each bone's form in the output and, for a
// curve or a pose, every key within the bound by the test support's own evaluator. Then the spline
// writers against their readers: a body read and written again is the same bytes.
#include <gtest/gtest.h>

#include <map>

#include "build/compress.h"
#include "kf/spline.h"
#include "nif/nif_document.h"
#include "support/fixtures.h"

namespace {

struct Row {
    std::string Name;
    std::vector<Bone> Bones;
    std::vector<std::string> Forms; // a curve's form, then which channels it animates (t, r, s)
    float Duration = 2;
    std::array<double, 3> Bounds = {0.01, 0.001, 0.001};
    std::uint32_t MostPoints = kMaxKeys; // of any curve
};

std::string Form(const std::pair<std::string, Curve>& bone) {
    if (bone.first != "packed" && bone.first != "floats") return bone.first;
    std::string form = bone.first + " ";
    for (int c = 0; c < 3; ++c)
        form += bone.second.Handles[c] == 65535 ? "" : std::string(1, "trs"[c]);
    return form;
}

std::vector<Bone> Noise(int keys) {
    std::vector<Bone> bones = Generated_Bones(1, keys, false, 5);
    for (int k = 0; k < keys; ++k) { // sorted times, unit rotations, values far apart
        Key& key = bones[0].Keys[static_cast<std::size_t>(k)];
        key = {k / (keys - 1.0f) * 2,
               static_cast<float>(k % 7),
               static_cast<float>(k * k % 5),
               0,
               1,
               0,
               0,
               0,
               1 + static_cast<float>(k % 3)};
    }
    return bones;
}

std::vector<Row> Rows() {
    std::vector<Bone> jump = Smooth_Bones(1, 61, 2, 3, "rs"), walk = Smooth_Bones(1, 61, 2, 4, "rs"),
                      late = Smooth_Bones(1, 31, 2, 5), wobble = Smooth_Bones(1, 31, 2, 6);
    for (std::size_t k = 30; k < 61; ++k)
        jump[0].Keys[k][1] += 1;
    for (Key& key : walk[0].Keys)
        key[1] += 1500 * key[0];
    return {
        {"smooth motion in every channel, few points",
         Smooth_Bones(2, 61, 2, 1),
         {"packed trs", "packed trs"},
         2,
         {0.01, 0.001, 0.001},
         20},
        {"a still bone is a pose", Smooth_Bones(1, 9, 2, 2, "trs"), {"pose"}},
        {"a still channel among moving ones", Smooth_Bones(1, 61, 2, 7, "t"), {"packed rs"}},
        {"a jump", jump, {"packed t"}},
        {"a root that walks too far for 16 bits", walk, {"floats t"}},
        {"noise at every key stays keys", Noise(40), {"keys"}},
        {"a key after the stop stays keys", late, {"keys"}, 1.5f},
        {"a wobble within wide bounds is a pose", wobble, {"pose"}, 2, {30, 7, 1}},
    };
}

class Compress : public testing::TestWithParam<Row> {};

TEST_P(Compress, EveryKeyWithinTheBound) {
    const Row& row = GetParam();
    const std::string keys = Key_Text(false, row.Duration, row.Bones);
    const ByteString plain = Convert(Build_Template(Example_Template()), &keys);
    Compression = {true, {row.Bounds[0], row.Bounds[1], row.Bounds[2]}};
    testing::internal::CaptureStdout();
    const ByteString output = Convert(Build_Template(Example_Template()), &keys);
    const std::string console = testing::internal::GetCapturedStdout();
    Compression = {};
    std::map<std::string, int> n; // the forms the transcript counts
    for (const std::string& form : row.Forms)
        ++n[form == "keys" || form == "pose" ? form : "curve"];
    EXPECT_NE(console.find("\nCompressed: " + std::to_string(n["curve"]) + " bones as curves, " +
                           std::to_string(n["pose"]) + " as poses, " + std::to_string(n["keys"]) +
                           " as keys" + (row.Name.starts_with("noise") ? " (1 of them as no curve" : ";")),
              std::string::npos)
        << console;
    const auto bones = Output_Bones(output);
    ASSERT_EQ(bones.size(), row.Bones.size());
    for (std::size_t b = 0; b < bones.size(); ++b) {
        EXPECT_EQ(Form(bones[b]), row.Forms[b]);
        EXPECT_EQ(bones[b].first == "keys" ? "" : Missed_Key(bones[b].second, row.Bones[b], row.Bounds), "");
        EXPECT_LE(bones[b].second.Points, row.MostPoints);
    }
    // A bone kept as keys is written exactly as without the option.
    EXPECT_TRUE(row.Forms != std::vector<std::string>{"keys"} || output == plain);
}

INSTANTIATE_TEST_SUITE_P(Table, Compress, testing::ValuesIn(Rows()), Row_Name);

// Each spline body the fixture writes, read by the product's reader and written by its writer.
TEST(SplineWriters, WriteWhatTheirReadersRead) {
    for (const bool packed : {true, false}) {
        const Curve curve = Drawn_Curve(5, 1, packed ? 1 : 2);
        Curve floats = curve;
        floats.Compressed = false;
        const TemplateLayout layout =
            Curved(Animated(Example_Template(), false, 1, {{"A", {}}}), 0, packed ? curve : floats);
        static SplineInterpolator interpolator;
        static SplineData data;
        static SplineBasisData basis;
        const auto again = [&](std::size_t block, auto load, auto save, auto& record) {
            const ByteString& body = layout.Bodies[block];
            ByteReader in{body.data(), static_cast<std::uint32_t>(body.size()), 0, nullptr};
            ASSERT_EQ(load(in, record), 0);
            Reset_All_Tables();
            ASSERT_EQ(AllocateRAM_forNifBlock(0, static_cast<std::int32_t>(body.size())), 0);
            ASSERT_EQ(save(record), 0);
            EXPECT_EQ(ByteString(NifBlocks[0].Data.get(), NifBlocks[0].Data.get() + NifBlocks[0].Size), body);
        };
        again(0, Load_from_Memory___NiBSplineData, Save_to_Memory___NiBSplineData, data);
        EXPECT_EQ(Calculate_Size___NiBSplineData(data), layout.Bodies[0].size());
        if (packed) {
            again(1, Load_from_Memory___NiBSplineCompTransformInterpolator,
                  Save_to_Memory___NiBSplineCompTransformInterpolator, interpolator);
        } else {
            again(1, Load_from_Memory___NiBSplineTransformInterpolator,
                  Save_to_Memory___NiBSplineTransformInterpolator, interpolator);
        }
        again(layout.Bodies.size() - 1, Load_from_Memory___NiBSplineBasisData,
              Save_to_Memory___NiBSplineBasisData, basis);
    }
}

} // namespace
