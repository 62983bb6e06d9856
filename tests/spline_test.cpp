// Bones on spline curves read back as keys: each row a .kf from the fixture writer, the keys sampled
// compared with de Boor's evaluation of the same curve in the test support, and the problem lines.
#include <gtest/gtest.h>

#include <cmath>

#include "capacities.h"
#include "keys/anim_keys.h"
#include "kf/bspline_basis.h"
#include "kf/read_back.h"
#include "support/fixtures.h"

namespace {

constexpr float kNone = 3.4028235e38f; // "no value" in a pose

// Both evaluations against what a cubic B-spline must give: the ends at the first and last control
// points, and the weights at the knots.
TEST(Curves, EvaluatorsHoldTheFactsOfTheCurve) {
    const struct {
        std::uint32_t Points;
        double U;
        std::vector<double> Weights; // of the control points from the first
    } rows[] = {{4, 0, {1, 0, 0, 0}},
                {4, 1, {0, 0, 0, 1}},
                {7, 2, {0, 0, 1 / 6., 4 / 6., 1 / 6., 0, 0}},
                {7, 1, {0, 0.25, 7 / 12., 1 / 6., 0, 0, 0}},
                {5, 1, {0, 0.25, 0.5, 0.25, 0}},
                {9, 6, {0, 0, 0, 0, 0, 0, 0, 0, 1}}};
    for (const auto& row : rows) {
        const BasisWeights basis = Basis_Weights(row.U, row.Points);
        for (std::uint32_t i = 0; i < row.Points; ++i) {
            // A curve whose only control value of 1 is point i: its scale is point i's weight.
            Curve unit{.Compressed = false, .Handles = {65535, 65535, 0}, .Points = row.Points};
            unit.Values.assign(row.Points, 0);
            unit.Values[i] = 1;
            const double product =
                i >= basis.First && i < basis.First + 4 ? basis.Weight[i - basis.First] : 0;
            EXPECT_NEAR(Curve_At(unit, row.U / (row.Points - 3))[7], row.Weights[i], 1e-12) << i;
            EXPECT_NEAR(product, row.Weights[i], 1e-12) << row.Points << " at " << row.U;
        }
    }
}

struct Row {
    std::string Name;
    TemplateLayout File;
    std::vector<std::pair<std::int32_t, Curve>> Curves; // the bones sampled from these
    std::string Counts, Lines = "";
    float Start = 0;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.Name;
}

// A sequence of `bones` over an empty template from `start` to `stop`, bone b on curves[b] where given.
Row Curves_Row(std::string name, std::vector<std::pair<std::int32_t, Curve>> curves, float stop,
               std::string counts, std::string lines = "", float start = 0, int bones = 1) {
    std::vector<Bone> named;
    for (int b = 0; b < bones; ++b)
        named.push_back({std::string(1, static_cast<char>('A' + b)), {{0, 0, 0, 0, 1, 0, 0, 0, 1}}});
    TemplateLayout layout = Animated({}, false, stop, named, {.Start = start});
    for (const auto& [bone, curve] : curves)
        layout = Curved(layout, 2 * static_cast<std::size_t>(bone), curve);
    return {std::move(name), layout, curves, std::move(counts), std::move(lines), start};
}

// Ten bones, each on a curve that cannot be read, for its own reason.
Row Damaged() {
    std::vector<Curve> curves(12, Drawn_Curve(4, 1, 7));
    curves[0].Data = -1, curves[1].Data = 999, curves[2].Basis = 0; // block 0: bone A's control values
    curves[4].Points = 3, curves[5].Handles[1] = 30, curves[6].Start = 1;
    curves[7].Unpack[0] = curves[7].Unpack[1] = 3e38f, curves[7].Values[0] = 32767; // 6e38 unpacked
    std::fill_n(curves[8].Values.begin() + 12, 16, 0.0f); // rotations that cancel out
    curves[10].Values.resize(kMaxSplineValues + 1);
    std::vector<std::pair<std::int32_t, Curve>> bones;
    for (std::int32_t b = 0; b < 12; ++b)
        bones.push_back({b, curves[static_cast<std::size_t>(b)]});
    Row row = Curves_Row("each kind of damage", bones, 1, "12 bones, 0 keys", "", 0, 12);
    row.File.Bodies[7].push_back(0), row.File.Bodies[22].push_back(0); // D's interpolator, L's values
    row.File.BlockTypes.push_back("NiBSplineCompFloatInterpolator");
    row.File.BlockTypeIndex[19] = static_cast<std::uint16_t>(row.File.BlockTypes.size() - 1);
    const std::string what[] = {
        "NiBSplineData expected in block -1",
        "NiBSplineData expected in block 999",
        "NiBSplineBasisData expected in block 0 'NiBSplineData'",
        "block 7 'NiBSplineCompTransformInterpolator' does not hold the layout read here (bytes are left "
        "after its last field)",
        "its curve has 3 control points, fewer than the 4 of a cubic curve",
        "its rotation channel runs past the control values (its last is value 45 of 32)",
        "its curve's stop time is not after its start time",
        "its translation channel holds a control value that is not finite once unpacked (control point 1)",
        "its rotation curve comes to a length below 1e-6 at 0 s",
        "its interpolator (block 19 'NiBSplineCompFloatInterpolator') is a float curve, which does not "
        "animate "
        "a bone's transform",
        "block 20 'NiBSplineData' does not hold the layout read here (it holds more than the 1048576 control "
        "values read here)",
        "block 22 'NiBSplineData' does not hold the layout read here (bytes are left after its last field)"};
    for (int b = 0; b < 12; ++b)
        row.Lines += "\t- Sequence 'SpecialIdle', bone " + std::to_string(b + 1) + " '" +
                     static_cast<char>('A' + b) + "': " + what[b] + ": written with 0 keys\n";
    row.Curves.clear();
    return row;
}

std::vector<Row> Rows() {
    const Curve drawn = Drawn_Curve(9, 2, 1);
    Curve minimal = Drawn_Curve(4, 1, 2), floats = Drawn_Curve(6, 1, 3), posed = Drawn_Curve(5, 1, 4);
    minimal.Start = -0.5f; // the curve's own times, the sequence's apart
    floats.Compressed = false;
    for (float& value : floats.Values)
        value /= 1000;
    posed.Handles = {65535, 0xFFFFFFFF, 0};
    posed.Pose = {1, 2, kNone, kNone, 0, 0, 0, 3};
    Curve reordered = Drawn_Curve(4, 1, 5), atRest = posed;
    reordered.Handles = {5 * 4, 4, 0}; // scale, rotation, translation
    atRest.Pose = {kNone, kNone, kNone, 0.6f, 0.8f, 0, 0, kNone};
    atRest.Handles = {65535, 65535, 65535};
    const Curve longer = Drawn_Curve(200, 60, 6);
    const std::string a = "\t- Sequence 'SpecialIdle', bone 1 'A': ", noKeys = ": written with 0 keys\n";
    return {
        Curves_Row("three channels, packed", {{0, drawn}}, 2, "1 bones, 61 keys"),
        Curves_Row("four points, from the curve's own start", {{0, minimal}}, 1, "1 bones, 31 keys"),
        Curves_Row("floats", {{0, floats}}, 1, "1 bones, 31 keys"),
        Curves_Row("channels posed, both handles for none", {{0, posed}}, 1, "1 bones, 31 keys"),
        Curves_Row("no channel, the pose at rest", {{0, atRest}}, 1, "1 bones, 31 keys"),
        Curves_Row("channels in another order", {{0, reordered}}, 1, "1 bones, 31 keys"),
        Curves_Row(
            "a start at 0.5 s, a stop off the grid", {{0, drawn}}, 1.01f, "1 bones, 17 keys",
            "\t- Sequence 'SpecialIdle': its \"start\" text key is at 0 s, the sequence's start at 0.5 s\n",
            0.5f),
        Curves_Row(
            "longer than a bone holds", {{0, longer}}, 60, "1 bones, 1536 keys",
            a + "its curve would take more than the 1536 keys a bone holds at 30 keys a second: sampled "
                "with 1536 keys, at 25.5833 keys a second\n"),
        Curves_Row("beside bones of keys", {{1, drawn}}, 2, "3 bones, 63 keys", "", 0, 3),
        Curves_Row("control values at capacity", {{0, Drawn_Curve(kMaxSplineValues / 8, 1, 8)}}, 1,
                   "1 bones, 31 keys"),
        Damaged(),
    };
}

class CurveRows : public testing::TestWithParam<Row> {};

TEST_P(CurveRows, SampleTheCurve) {
    const Row& row = GetParam();
    testing::internal::CaptureStdout();
    Read_Back(Build_Template(row.File));
    testing::internal::GetCapturedStdout();
    std::int32_t keys = 0;
    for (std::int32_t bone = 0; bone < NumAnimBones; ++bone)
        keys += AnimBones[bone].NumKeys;
    EXPECT_EQ(std::to_string(NumAnimBones) + " bones, " + std::to_string(keys) + " keys", row.Counts);
    EXPECT_EQ(Problem_Lines, row.Lines);
    for (const auto& [b, curve] : row.Curves) {
        const AnimBone& bone = AnimBones[b];
        for (std::int32_t k = 0; k < bone.NumKeys; ++k) {
            const AnimKey& key = bone.Keys[k];
            if (bone.NumKeys < std::int32_t{kMaxKeys}) { // 30 a second from the start, the last at the stop
                EXPECT_EQ(key.Time,
                          k + 1 == bone.NumKeys ? AnimDuration : static_cast<float>(row.Start + k / 30.0));
            }
            const std::array<double, 8> expected = Curve_At(curve, key.Time);
            const float got[] = {key.PosX, key.PosY, key.PosZ, key.RotW,
                                 key.RotX, key.RotY, key.RotZ, key.Scale};
            const double sign = expected[3] * key.RotW + expected[4] * key.RotX + expected[5] * key.RotY +
                                            expected[6] * key.RotZ <
                                        0
                                    ? -1
                                    : 1;
            for (std::size_t i = 0; i < 8; ++i)
                EXPECT_NEAR(got[i], (i >= 3 && i < 7 ? sign : 1) * expected[i],
                            1e-5 * std::max(1.0, std::fabs(expected[i])))
                    << "key " << k << ", value " << i;
            const AnimKey* before = k > 0 ? &bone.Keys[k - 1] : nullptr;
            EXPECT_TRUE(before == nullptr || key.RotW * before->RotW + key.RotX * before->RotX +
                                                     key.RotY * before->RotY + key.RotZ * before->RotZ >=
                                                 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CurveRows, testing::ValuesIn(Rows()), Row_Name<testing::TestParamInfo<Row>>);

} // namespace
