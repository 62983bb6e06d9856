#include "support/fixtures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <tuple>

#include "build/blocks.h"
#include "check/skeleton.h"
#include "driver/reset.h"
#include "driver/stages.h"
#include "keys/anim_keys.h"
#include "keys/node_text.h"
#include "keys/sequence_file.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "sample/read_back.h"

// ---- files built field by field ------------------------------------------------------------------

// `count` unless a raw one stands in its place.
static std::int64_t Count(std::int64_t raw, std::size_t count) {
    return raw >= 0 ? raw : static_cast<std::int64_t>(count);
}

ByteString Build_Template(const TemplateLayout& layout) {
    Bytes out;
    out.raw(layout.HeaderLine).raw(ByteString(layout.Version.begin(), layout.Version.end())).u8(1);
    out.put(layout.UserVersion, Count(layout.NumBlocks, layout.Bodies.size()), layout.UserVersion2);
    for (const std::string& text : layout.ShortStrings)
        out.short_string(text);
    out.u16(static_cast<std::uint16_t>(Count(layout.NumBlockTypes, layout.BlockTypes.size())));
    for (const std::string& type : layout.BlockTypes)
        out.sized(type);
    for (std::size_t i = 0; i < layout.Bodies.size(); ++i)
        out.u16(i < layout.BlockTypeIndex.size() ? layout.BlockTypeIndex[i] : 0);
    for (const ByteString& body : layout.Bodies)
        out.put(body.size());
    std::size_t longest = 0;
    for (const std::string& text : layout.Strings)
        longest = std::max(longest, text.size());
    out.put(Count(layout.NumStrings, layout.Strings.size()), Count(layout.MaxStringLength, longest));
    for (const std::string& text : layout.Strings)
        out.sized(text);
    out.put(0); // no groups
    for (const ByteString& body : layout.Bodies)
        out.raw(body);
    out.put(layout.Roots.size());
    for (std::int32_t root : layout.Roots)
        out.put(root);
    return out.Data;
}

TemplateLayout Example_Template() {
    return {.Strings = {"NPC Root [Root]"}};
}

TemplateLayout Rich_Template() {
    return {.ShortStrings = {"creator", "", "exporter"},
            .BlockTypes = {"NiNode", "NiSequenceStreamHelper"},
            .BlockTypeIndex = {1, 0, 0},
            .Bodies = {{1, 2, 3}, {}, ByteString(300, 0xAB)},
            .Strings = {"NPC Root [Root]", "Bip01", "with\nline feed"}, // the longest first
            .Roots = {0, 2}};
}

// A track of values `width` wide: count, key type, and each key's time and fields, zeros where left out.
// Quaternion keys (not `tangents`) carry none.
static void Put_Track(Bytes& out, const Track& track, std::size_t width, bool tangents) {
    out.put(track.Keys.size());
    if (!track.Keys.empty()) out.put(track.Type);
    const std::size_t extra = track.Type == 2 && tangents ? 2 * width : track.Type == 3 ? 3 : 0;
    for (const std::vector<float>& key : track.Keys) {
        for (std::size_t i = 0; i < 1 + width + extra; ++i)
            out.put(i < key.size() ? key[i] : 0.0f);
    }
}

ByteString Transform_Data(const Tracks& tracks) {
    Bytes out;
    if (!tracks.Angles.empty()) out.put(1, 4);
    for (std::size_t axis = 0; !tracks.Angles.empty() && axis < 3; ++axis)
        Put_Track(out, axis < tracks.Angles.size() ? tracks.Angles[axis] : Track{}, 1, true);
    if (tracks.Angles.empty()) Put_Track(out, tracks.Rotations, 4, false);
    Put_Track(out, tracks.Translations, 3, true);
    Put_Track(out, tracks.Scales, 1, true);
    return out.Data;
}

ByteString Transform_Data_Body(bool euler, const std::vector<Key>& keys) {
    // The keys' slots `first` to `first + width` as a track of `type`.
    const auto track = [&keys](std::uint32_t type, std::size_t first, std::size_t width) {
        Track out{type};
        for (const Key& key : keys) {
            out.Keys.push_back({key[0]});
            out.Keys.back().insert(out.Keys.back().end(), &key[first], &key[first] + width);
        }
        return out;
    };
    if (euler)
        return Transform_Data(
            {{track(2, 5, 1), track(2, 6, 1), track(2, 7, 1)}, {}, track(1, 1, 3), track(2, 8, 1)});
    return Transform_Data({{}, track(2, 4, 4), track(1, 1, 3), track(2, 8, 1)});
}

ByteString Interpolator_Body(std::int32_t data, const std::array<float, 8>& pose) {
    return std::apply([data](auto... values) { return Bytes{}.put(values..., data).Data; }, pose);
}

ByteString Node_Body(const Node& node, std::uint32_t version2) {
    Bytes out;
    const ByteString none(4 * static_cast<std::size_t>(node.Links), 0xFF); // each link -1
    out.put(node.Name, node.Links).raw(none).put(-1);
    version2 > 26 ? out.u32(14) : out.u16(14);
    const auto put = [&out](auto... values) { out.put(values...); };
    std::apply(put, std::tuple_cat(node.Translation, node.Rotation, std::tuple{node.Scale}));
    if (version2 <= 34) out.put(node.Links).raw(none); // properties
    out.put(-1, node.Children.size());                 // collision object
    for (std::int32_t child : node.Children)
        out.put(child);
    if (version2 < 130) out.put(node.Links).raw(none); // effects
    return out.Data;
}

ByteString Text_Keys_Body(const std::vector<std::pair<float, std::int32_t>>& keys) {
    Bytes out;
    out.put(-1, keys.size());
    for (const auto& [time, text] : keys)
        out.put(time, text);
    return out.Data;
}

std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

static std::string Shortest(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Key_Text(bool euler, float duration, const std::vector<Bone>& bones) {
    std::string text = (euler ? "Euler angles\n" : "Quaternions\n") + Shortest(duration) + "\n";
    for (const Bone& bone : bones) {
        text += Name_Line(bone.Name) + std::to_string(bone.Keys.size()) + "\n";
        for (const Key& key : bone.Keys) {
            for (std::size_t i = 0; i < key.size(); ++i)
                text += euler && i == 4 ? "" : Shortest(key[i]) + (i + 1 < key.size() ? " " : "\n");
        }
    }
    return text + Name_Line("End of keys") + "0\n";
}

// The index of `text` in `table`, appended when absent or when `always`.
static std::int32_t Index_Of(std::vector<std::string>& table, const std::string& text, bool always = false) {
    const auto at = std::find(table.begin(), table.end(), text);
    if (at != table.end() && !always) return static_cast<std::int32_t>(at - table.begin());
    table.push_back(text);
    return static_cast<std::int32_t>(table.size() - 1);
}

void Retype(TemplateLayout& layout, std::size_t block, const std::string& type) {
    layout.BlockTypeIndex[block] = static_cast<std::uint16_t>(Index_Of(layout.BlockTypes, type));
}

TemplateLayout Animated(TemplateLayout layout, bool euler, float duration, const std::vector<Bone>& bones,
                        const SequenceSpec& settings) {
    const auto append = [&](const char* type, const ByteString& body) {
        layout.BlockTypeIndex.resize(layout.Bodies.size());
        layout.BlockTypeIndex.push_back(static_cast<std::uint16_t>(Index_Of(layout.BlockTypes, type)));
        layout.Bodies.push_back(body);
        return static_cast<std::int32_t>(layout.Bodies.size() - 1);
    };
    std::vector<std::int32_t> interpolators;
    for (const Bone& bone : bones) {
        const std::int32_t data = append("NiTransformData", Transform_Data_Body(euler, bone.Keys));
        interpolators.push_back(append("NiTransformInterpolator", Interpolator_Body(data)));
    }
    const auto texts = settings.TextKeys.value_or(TextKeyList{{0.0f, "start"}, {duration, "end"}});
    std::vector<std::pair<float, std::int32_t>> textKeyIndices;
    for (const auto& [time, text] : texts)
        textKeyIndices.push_back({time, Index_Of(layout.Strings, text)});
    const std::int32_t textKeys =
        settings.NoTextKeyBlock ? -1 : append("NiTextKeyExtraData", Text_Keys_Body(textKeyIndices));
    std::vector<std::int32_t> names;
    for (const Bone& bone : bones)
        names.push_back(Index_Of(layout.Strings, bone.Name, true));
    Bytes sequence;
    sequence.put(Index_Of(layout.Strings, settings.Name), bones.size(), 1);
    for (std::size_t b = 0; b < bones.size(); ++b) {
        const auto given =
            std::find_if(settings.Priorities.begin(), settings.Priorities.end(),
                         [&](const auto& priority) { return priority.first == bones[b].Name; });
        sequence.put(interpolators[b], -1).u8(given == settings.Priorities.end() ? 0 : given->second);
        const auto type = std::find_if(settings.Controllers.begin(), settings.Controllers.end(),
                                       [&](const auto& given) { return given.first == bones[b].Name; });
        const std::string controller =
            type == settings.Controllers.end() ? "NiTransformController" : type->second;
        sequence.put(names[b], -1, controller.empty() ? -1 : Index_Of(layout.Strings, controller), -1, -1);
    }
    const auto root = std::find(layout.Strings.begin(), layout.Strings.end(), "NPC Root [Root]");
    const auto accumRoot = settings.NoRoot                ? -1
                           : settings.Root                ? Index_Of(layout.Strings, *settings.Root)
                           : root == layout.Strings.end() ? 0
                                                          : root - layout.Strings.begin();
    sequence.put(settings.Weight, textKeys, settings.Cycle, settings.Frequency, settings.Start,
                 settings.Stop.value_or(duration));
    sequence.put(-1, accumRoot).u16(static_cast<std::uint16_t>(settings.NoteArrays.size()));
    for (std::int32_t notes : settings.NoteArrays)
        sequence.put(notes);
    append("NiControllerSequence", sequence.Data);
    for (const std::string& text : layout.Strings)
        layout.MaxStringLength = std::max(layout.MaxStringLength, static_cast<std::int64_t>(text.size()));
    return layout;
}

TemplateLayout Curved(TemplateLayout layout, std::size_t data, const Curve& curve) {
    // The control values go in the array of their kind; the other is empty.
    Bytes array, values, interpolator, basis;
    for (float value : curve.Values)
        curve.Compressed ? array.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(value)))
                         : array.put(value);
    const auto count = static_cast<std::uint32_t>(curve.Values.size());
    curve.Compressed ? values.u32(0).u32(count).raw(array.Data) : values.u32(count).raw(array.Data).u32(0);
    interpolator.put(curve.Start, curve.Stop, curve.Data.value_or(static_cast<std::int32_t>(data)),
                     curve.Basis.value_or(static_cast<std::int32_t>(layout.Bodies.size())));
    const auto put = [&interpolator](auto... values) { interpolator.put(values...); };
    std::apply(put, std::tuple_cat(curve.Pose, curve.Handles));
    if (curve.Compressed) std::apply(put, curve.Unpack);
    layout.Bodies[data] = values.Data;
    layout.Bodies[data + 1] = interpolator.Data;
    layout.Bodies.push_back(basis.u32(curve.Points).Data);
    layout.BlockTypeIndex.push_back(0);
    Retype(layout, data, "NiBSplineData");
    Retype(layout, data + 1,
           curve.Compressed ? "NiBSplineCompTransformInterpolator" : "NiBSplineTransformInterpolator");
    Retype(layout, layout.Bodies.size() - 1, "NiBSplineBasisData");
    return layout;
}

std::array<double, 8> Curve_At(const Curve& curve, double time) {
    const int n = static_cast<int>(curve.Points), dims[] = {3, 4, 1}, first[] = {0, 3, 7};
    const auto knot = [&](int i) { return static_cast<double>(std::clamp(i - 3, 0, n - 3)); };
    const double u = (std::clamp<double>(time, curve.Start, curve.Stop) - curve.Start) /
                     (curve.Stop - curve.Start) * (n - 3);
    const int s = std::min(3 + static_cast<int>(u), n - 1); // the span: knot(s) <= u < knot(s + 1)
    std::array<double, 8> value{};
    for (int c = 0; c < 3; ++c) {
        for (int j = 0; j < dims[c]; ++j) {
            const auto at = static_cast<std::size_t>(first[c] + j);
            // At rest: no offset, the identity rotation, a scale of 1.
            value[at] = std::fabs(curve.Pose[at]) < 3e38f ? curve.Pose[at] : (c == 1 && j == 0) || c == 2;
        }
        if (curve.Handles[c] == 65535 || curve.Handles[c] == 0xFFFFFFFF) continue;
        for (int j = 0; j < dims[c]; ++j) {
            double d[4];
            for (int i = 0; i < 4; ++i) {
                const double v =
                    curve.Values[curve.Handles[c] + static_cast<std::uint32_t>((s - 3 + i) * dims[c] + j)];
                d[i] = curve.Compressed ? curve.Unpack[2 * c] + curve.Unpack[2 * c + 1] * v / 32767 : v;
            }
            for (int r = 1; r <= 3; ++r) {
                for (int i = 3; i >= r; --i) {
                    const int k = i + s - 3;
                    const double alpha = (u - knot(k)) / (knot(k + 4 - r) - knot(k));
                    d[i] = (1 - alpha) * d[i - 1] + alpha * d[i];
                }
            }
            value[static_cast<std::size_t>(first[c] + j)] = d[3];
        }
    }
    const double length = std::hypot(std::hypot(value[3], value[4]), std::hypot(value[5], value[6]));
    for (std::size_t i = 3; i < 7; ++i)
        value[i] /= length;
    return value;
}

static std::int32_t Load_Text(std::FILE*& file, const std::string& text, std::int32_t (*load)());

// The product's reader of block `index` into `record`, when the block is of type `type`.
template <typename Record>
static bool Read_Block(std::int32_t index, const char* type, std::int32_t (*load)(ByteReader&, Record&),
                       Record& record) {
    const char* name = Block_Type_Name(index);
    if (name == nullptr || std::string(name) != type) return false;
    ByteReader in = Open_Block_Reader(index);
    return load(in, record) == 0;
}

// A spline interpolator's blocks as the fixture's curve.
static Curve As_Curve(const SplineInterpolator& spline, const SplineData& data, std::uint32_t points) {
    Curve curve{.Compressed = spline.Compressed, .Start = spline.StartTime, .Stop = spline.StopTime};
    curve.Pose = {spline.Translation[0], spline.Translation[1], spline.Translation[2], spline.Rotation[0],
                  spline.Rotation[1],    spline.Rotation[2],    spline.Rotation[3],    spline.Scale};
    std::copy(std::begin(spline.Handles), std::end(spline.Handles), curve.Handles.begin());
    for (int c = 0; c < 3; ++c)
        curve.Unpack[2 * c] = spline.Offsets[c], curve.Unpack[2 * c + 1] = spline.HalfRanges[c];
    curve.Points = points;
    const std::uint32_t count = spline.Compressed ? data.NumCompactControlPoints : data.NumFloatControlPoints;
    for (std::uint32_t i = 0; i < count; ++i)
        curve.Values.push_back(spline.Compressed ? data.CompactControlPoints[i] : data.FloatControlPoints[i]);
    return curve;
}

std::vector<std::pair<std::string, Curve>> Output_Bones(const ByteString& kf) {
    Reset_All_Tables();
    std::vector<std::pair<std::string, Curve>> bones;
    if (Load_Text(InputKfFile, {kf.begin(), kf.end()}, Load_from_File___All_NIF_Blocks) != 0) return bones;
    static ControllerSequence sequence;
    static SplineData data;
    const std::vector<std::int32_t> sequences = Sequence_Blocks();
    if (sequences.empty() ||
        !Read_Block(sequences[0], "NiControllerSequence", Load_from_Memory___NiControllerSequence, sequence))
        return bones;
    for (std::uint32_t b = 0; b < sequence.NumControlledBlocks; ++b) {
        const std::int32_t at = sequence.ControlledBlocks[b].Interpolator;
        TransformInterpolator pose{};
        SplineInterpolator spline{};
        SplineBasisData basis{};
        if (Read_Block(at, "NiTransformInterpolator", Load_from_Memory___NiTransformInterpolator, pose)) {
            Curve held{.Handles = {65535, 65535, 65535}};
            held.Pose = {pose.Translation[0], pose.Translation[1], pose.Translation[2], pose.Rotation[0],
                         pose.Rotation[1],    pose.Rotation[2],    pose.Rotation[3],    pose.Scale};
            bones.emplace_back(pose.Data == -1 ? "pose" : "keys", held);
        } else if ((Read_Block(at, "NiBSplineCompTransformInterpolator",
                               Load_from_Memory___NiBSplineCompTransformInterpolator, spline) ||
                    Read_Block(at, "NiBSplineTransformInterpolator",
                               Load_from_Memory___NiBSplineTransformInterpolator, spline)) &&
                   Read_Block(spline.SplineData, "NiBSplineData", Load_from_Memory___NiBSplineData, data) &&
                   Read_Block(spline.BasisData, "NiBSplineBasisData", Load_from_Memory___NiBSplineBasisData,
                              basis)) {
            bones.emplace_back(spline.Compressed ? "packed" : "floats",
                               As_Curve(spline, data, basis.NumControlPoints));
        } else {
            bones.emplace_back("unreadable", Curve{});
        }
    }
    return bones;
}

std::string Missed_Key(const Curve& curve, const Bone& bone, const std::array<double, 3>& bounds) {
    for (const Key& key : bone.Keys) {
        const std::array<double, 8> at = Curve_At(curve, key[0]);
        const double length = std::hypot(std::hypot(key[4], key[5]), std::hypot(key[6], key[7]));
        double dot = 0;
        for (std::size_t i = 0; i < 4; ++i)
            dot += at[3 + i] * key[4 + i] / length;
        const double misses[3] = {std::hypot(at[0] - key[1], at[1] - key[2], at[2] - key[3]),
                                  2 * std::acos(std::min(1.0, std::fabs(dot))), std::fabs(at[7] - key[8])};
        for (std::size_t c = 0; c < 3; ++c) {
            if (!(misses[c] <= bounds[c]))
                return bone.Name + " at " + std::to_string(key[0]) + ": channel " + std::to_string(c) +
                       " off by " + std::to_string(misses[c]);
        }
    }
    return "";
}

std::vector<Bone> Smooth_Bones(int bones, int keys, float seconds, unsigned seed, const std::string& still) {
    std::mt19937 random(seed);
    const auto draw = [&](double low, double high) {
        return low + (high - low) * static_cast<double>(random()) / std::mt19937::max();
    };
    std::vector<Bone> drawn;
    for (int b = 0; b < bones; ++b) {
        double wave[7][3]; // each channel: amplitude, angular frequency, phase
        for (auto& channel : wave)
            channel[0] = draw(0.1, 1), channel[1] = draw(0.5, 4), channel[2] = draw(0, 6.3);
        Bone& bone = drawn.emplace_back(Bone{"Bone " + std::to_string(b), {}});
        for (int k = 0; k < keys; ++k) {
            const double t = seconds * k / (keys - 1);
            double v[7];
            for (int c = 0; c < 7; ++c)
                v[c] = wave[c][0] * std::sin(wave[c][1] * t + wave[c][2]);
            const bool moves[3] = {still.find('t') == std::string::npos, still.find('r') == std::string::npos,
                                   still.find('s') == std::string::npos};
            // The rotation by the vector (v3, v4, v5); held, 0.3 about x.
            const double turn[3] = {moves[1] ? v[3] : 0.3, moves[1] ? v[4] : 0, moves[1] ? v[5] : 0};
            const double angle = std::hypot(turn[0], turn[1], turn[2]) + 1e-12, half = angle / 2;
            const double r[3] = {turn[0] / angle, turn[1] / angle, turn[2] / angle};
            bone.Keys.push_back(
                {static_cast<float>(t), static_cast<float>(moves[0] ? 10 * v[0] : 1),
                 static_cast<float>(moves[0] ? 10 * v[1] : 2), static_cast<float>(moves[0] ? v[2] : 3),
                 static_cast<float>(std::cos(half)), static_cast<float>(r[0] * std::sin(half)),
                 static_cast<float>(r[1] * std::sin(half)), static_cast<float>(r[2] * std::sin(half)),
                 static_cast<float>(moves[2] ? 1 + v[6] / 10 : 1)});
        }
    }
    return drawn;
}

std::vector<Bone> Loaded_Bones() {
    std::vector<Bone> bones;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        Bone& bone = bones.emplace_back(Bone{AnimBones[b].Name, {}});
        for (std::int32_t k = 0; k < AnimBones[b].NumKeys; ++k) {
            const AnimKey& key = AnimBones[b].Keys[k];
            bone.Keys.push_back(
                {key.Time, key.PosX, key.PosY, key.PosZ, key.RotW, key.RotX, key.RotY, key.RotZ, key.Scale});
        }
    }
    return bones;
}

Curve Drawn_Curve(std::uint32_t points, float stop, unsigned seed) {
    std::mt19937 random(seed);
    Curve curve{.Stop = stop, .Points = points};
    curve.Handles = {0, 3 * points, 7 * points}, curve.Unpack = {1, 4, 0, 1, 1, 0.25f};
    for (std::uint32_t i = 0; i < 8 * points; ++i)
        curve.Values.push_back(static_cast<float>(static_cast<int>(random() % 65535) - 32767));
    return curve;
}

ByteString Curves_File(const std::vector<Bone>& bones, std::uint32_t points, float seconds) {
    TemplateLayout layout = Animated(Example_Template(), false, seconds, bones, {.Name = "Idle"});
    for (std::size_t b = 0; b < bones.size(); ++b)
        layout = Curved(layout, 2 * b, Drawn_Curve(points, seconds, static_cast<unsigned>(b)));
    return Build_Template(layout);
}

std::vector<Bone> Generated_Bones(int bones, int keys, bool euler, unsigned seed) {
    std::mt19937 random(seed);
    const float odd[] = {0.0f,           -0.0f, 1.0f,       1e-45f,     -1.17549435e-38f,
                         3.40282347e38f, 0.1f,  -123456.7f, 16777217.0f};
    const auto value = [&](std::uint32_t pick) {
        if (pick == 0) return odd[random() % std::size(odd)];
        if (pick == 1)
            return std::bit_cast<float>(static_cast<std::uint32_t>(random()) & 0xBF7FFFFFu); // finite
        return static_cast<float>(static_cast<int>(random() % 200000) - 100000) / 997.0f;
    };
    std::vector<Bone> result(static_cast<std::size_t>(bones));
    for (std::size_t b = 0; b < result.size(); ++b) {
        result[b].Name = "Bone " + std::to_string(b) + (b % 3 == 0 ? " [x]" : "");
        for (int k = 0; k < keys; ++k) {
            Key key = {static_cast<float>(k) / 30.0f};
            for (std::size_t i = 1; i < key.size(); ++i)
                key[i] = euler && i == 4 ? 0 : value(random() % 8);
            result[b].Keys.push_back(key);
        }
    }
    return result;
}

// ---- the tables and the stages in process --------------------------------------------------------

void Reset_All_Tables() {
    std::snprintf(InputKfFileName, sizeof InputKfFileName, "template.kf");
    std::snprintf(AnimationKeysFileName, sizeof AnimationKeysFileName, "keys.txt");
    std::snprintf(SequenceSettingsFileName, sizeof SequenceSettingsFileName, "keys.sequence.txt");
    Reset_at_Program_Start();
}

std::string Table_Fault() {
    // The records of both roads: the working records of the road out and the road back's own.
    const auto past = [](const TransformData& data, const TextKeyExtraData& keys,
                         const ControllerSequence& sequence) {
        return data.NumRotationKeys > kMaxKeys || data.Translations.NumKeys > kMaxKeys ||
               data.Scales.NumKeys > kMaxKeys || keys.NumTextKeys > kMaxKeys ||
               sequence.NumControlledBlocks > kMaxControlledBlocks ||
               !std::all_of(std::begin(data.XYZRotations), std::end(data.XYZRotations),
                            [](const FloatKeyGroup& group) { return group.NumKeys <= kMaxKeys; });
    };
    if (Header_NumBlocks > kMaxBlocks || Header_NumBlockTypes > kMaxBlockTypes ||
        Header_NumStrings > kMaxStrings || NiFooter_NumRoots > kMaxRoots ||
        NumAnimBones > std::int32_t{kMaxBoneRecords} - 1 ||
        past(BuiltTransformData, BuiltTextKeys, BuiltSequence) ||
        past(ReadBack.Data, ReadBack.TextKeys, ReadBack.Sequence) ||
        SequenceSettings_NumTextKeys > kMaxKeys || SequenceSettings_NumPriorities > kMaxControlledBlocks ||
        ReadBack.Curve.Data.NumFloatControlPoints > kMaxSplineValues ||
        ReadBack.Curve.Data.NumCompactControlPoints > kMaxSplineValues ||
        NumSkeletonNodes > kMaxSkeletonNodes)
        return "a count past its table";
    // Without a known format the key reader only counts records, and no count is used.
    for (const AnimBone& bone : AnimBones)
        if ((IsQuaternionFormat || IsEulerFormat) &&
            (bone.NumKeys < 0 || bone.NumKeys > std::int32_t{kMaxKeys}))
            return "a bone of " + std::to_string(bone.NumKeys) + " keys";
    return "";
}

namespace {

// fmemopen refuses an empty buffer on some C libraries; an empty temporary file reads the same.
std::FILE* Open_Bytes(const ByteString& bytes) {
    return bytes.empty() ? std::tmpfile()
                         : fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
}

// A memory stream for an output, and the bytes written to it.
struct Written {
    char* Buffer = nullptr;
    std::size_t Size = 0;
    std::FILE* File = open_memstream(&Buffer, &Size);

    std::string Close() {
        std::fclose(File);
        std::string bytes(Buffer, Size);
        std::free(Buffer);
        return bytes;
    }
};

void Close(std::FILE*& file) {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
}

} // namespace

ByteString Convert(const ByteString& templateBytes, const std::string* keys, const std::string* sequence) {
    Reset_All_Tables();
    const ByteString keyBytes = As_Bytes(keys != nullptr ? *keys : "");
    const ByteString sequenceBytes = As_Bytes(sequence != nullptr ? *sequence : "");
    InputKfFile = Open_Bytes(templateBytes);
    AnimationKeysFile = Open_Bytes(keyBytes);
    if (sequence != nullptr) SequenceSettingsFile = Open_Bytes(sequenceBytes);
    Written output;
    OutputKfFile = output.File;
    std::int32_t result = keys != nullptr ? Run_Conversion_Stages() : Load_from_File___All_NIF_Blocks();
    if (keys == nullptr && result == 0) result = Write_All_NIF_Block_to_File();
    for (std::FILE** file : {&InputKfFile, &AnimationKeysFile, &SequenceSettingsFile})
        Close(*file);
    OutputKfFile = nullptr;
    const std::string bytes = output.Close();
    return result == 0 ? As_Bytes(bytes) : ByteString();
}

// `load` over `text` as the stream `file`.
static std::int32_t Load_Text(std::FILE*& file, const std::string& text, std::int32_t (*load)()) {
    const ByteString bytes = As_Bytes(text);
    file = Open_Bytes(bytes);
    const std::int32_t result = load();
    Close(file);
    return result;
}

std::int32_t Load_Skeleton(const ByteString& nif) {
    const std::int32_t result =
        Load_Text(InputKfFile, {nif.begin(), nif.end()}, Load_from_File___All_NIF_Blocks);
    if (result == 0) Take_Skeleton_from_Document();
    Reset_Nif_Document();
    return result;
}

std::int32_t Load_Keys(const std::string& text) {
    Reset_All_Tables();
    return Load_Text(AnimationKeysFile, text, Load_from_File___Animation_Keys);
}

// What `save` writes to the stream `file`.
template <typename Save>
static std::string Saved(std::FILE*& file, Save save) {
    Written text;
    file = text.File;
    save();
    file = nullptr;
    return text.Close();
}

std::string Save_Keys() {
    return Saved(OutputKeysFile, Save_to_File___Animation_Keys);
}

std::int32_t Load_Sequence(const std::string& text) {
    return Load_Text(SequenceSettingsFile, text, Load_from_File___Sequence_Settings);
}

std::string Save_Sequence() {
    return Saved(OutputSequenceFile, [] { Save_to_File___Sequence_Settings("keys.txt"); });
}

ByteString Chain_Skeleton(float midScale, std::uint32_t version2, std::int32_t links) {
    const std::array<float, 9> quarterAboutZ = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    return Build_Template(
        {.BlockTypes = {"NiNode"},
         .Bodies = {Node_Body({0, {0, 0, 10}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 1, links, {1}}, version2),
                    Node_Body({1, {5, 0, 0}, quarterAboutZ, midScale, links, {2}}, version2),
                    Node_Body({2, {2, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 1, links}, version2)},
         .Strings = {"Root", "Mid", "Tip"},
         .UserVersion2 = version2});
}

std::string Nodes_of(const ByteString& nif) {
    Reset_All_Tables();
    if (Load_Text(InputKfFile, {nif.begin(), nif.end()}, Load_from_File___All_NIF_Blocks) != 0) return "";
    std::string problems;
    for (const std::string& finding : Take_Skeleton_from_Document())
        problems += "\t- " + finding + "\n";
    return Node_Text(Skeleton_Node_Lines()) + problems;
}

std::vector<std::string> Read_Back(const ByteString& kf, void (*each)(), const ByteString& skeleton) {
    Reset_All_Tables();
    if (!skeleton.empty()) Load_Skeleton(skeleton);
    const bool loaded = Load_Text(InputKfFile, {kf.begin(), kf.end()}, Load_from_File___All_NIF_Blocks) == 0;
    std::vector<std::string> texts;
    for (std::int32_t block : loaded ? Sequence_Blocks() : std::vector<std::int32_t>()) {
        if (Load_Sequence_Keys(block) != 0) continue;
        texts.push_back(Save_Keys());
        if (each != nullptr) each();
    }
    return texts;
}

// ---- the built programs --------------------------------------------------------------------------

TempDir::TempDir() {
    char pattern[] = "/tmp/posewright-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
}

static std::string Quote(const std::string& text) {
    return "'" + std::regex_replace(text, std::regex("'"), "'\\''") + "'";
}

RunResult Run_Program(const std::string& program, const std::string& folder,
                      const std::vector<std::string>& arguments, int timeoutSeconds) {
    const char* binary =
        std::getenv(program == "posewright" ? "POSEWRIGHT_BINARY" : "POSEWRIGHT_KEYS_BINARY");
    const char* runner = std::getenv("POSEWRIGHT_RUNNER");
    std::string command = "cd " + Quote(folder) + " && timeout " + std::to_string(timeoutSeconds) + " " +
                          (runner != nullptr ? runner : "") + " " +
                          Quote(binary != nullptr         ? binary
                                : program == "posewright" ? POSEWRIGHT_BINARY
                                                          : POSEWRIGHT_KEYS_BINARY);
    for (const std::string& argument : arguments)
        command += " " + Quote(argument);
    const std::string transcript = folder + "/.transcript";
    const int status = std::system((command + " </dev/null >" + Quote(transcript) + " 2>&1").c_str());
    const ByteString bytes = Read_File(transcript);
    std::filesystem::remove(transcript);
    RunResult result{{bytes.begin(), bytes.end()},
                     WIFEXITED(status) && WEXITSTATUS(status) != 124 ? WEXITSTATUS(status) : -1};
    std::erase(result.Transcript, '\r'); // a console that ends lines in CR LF shows the same transcript
    return result;
}

ByteString Read_File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write_File(const std::string& path, const ByteString& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ByteString As_Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}
