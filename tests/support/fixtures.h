// The one fixture library of the tests, the fuzz targets and the fixture tool: container files built
// field by field, key texts, the tables reset and checked, the stages of both programs run in
// process, and the built programs run in a folder of their own.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

using ByteString = std::vector<std::uint8_t>;

// ---- files built field by field ------------------------------------------------------------------

struct Bytes {
    ByteString Data;

    Bytes& u8(std::uint8_t v) { return Data.push_back(v), *this; }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(static_cast<std::uint8_t>(v >> 8)); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(static_cast<std::uint16_t>(v >> 16)); }
    // Four bytes each: integers as 32 bits, floats as their single-precision bits.
    template <typename... Values>
    Bytes& put(Values... values) {
        (u32(std::bit_cast<std::uint32_t>(
             static_cast<std::conditional_t<std::is_floating_point_v<Values>, float, std::int32_t>>(values))),
         ...);
        return *this;
    }
    Bytes& raw(const std::string& text) { return Data.insert(Data.end(), text.begin(), text.end()), *this; }
    Bytes& raw(const ByteString& bytes) { return Data.insert(Data.end(), bytes.begin(), bytes.end()), *this; }
    Bytes& sized(const std::string& text) { return u32(static_cast<std::uint32_t>(text.size())).raw(text); }
    // A length byte that counts the terminating zero, the text, the zero; a text of 255 bytes leaves no
    // room for the zero and is written without it.
    Bytes& short_string(const std::string& v) {
        return v.size() < 255 ? u8(static_cast<std::uint8_t>(v.size() + 1)).raw(v).u8(0) : u8(255).raw(v);
    }
};

struct TemplateLayout {
    std::string HeaderLine = "NIF File Format, Version 20.2.0.7\n";
    std::array<std::uint8_t, 4> Version = {7, 0, 2, 20};
    std::array<std::string, 3> ShortStrings = {"", "", ""};
    std::vector<std::string> BlockTypes{};
    std::vector<std::uint16_t> BlockTypeIndex{}; // one per body
    std::vector<ByteString> Bodies{};
    std::vector<std::string> Strings{};
    std::int64_t MaxStringLength = -1; // -1: the longest string's length
    std::vector<std::int32_t> Roots{};
    // Counts written in place of the true ones (-1: the true one), for headers that lie about them:
    // only the count is written, no entries.
    std::int64_t NumBlocks = -1, NumBlockTypes = -1, NumStrings = -1;
    std::uint32_t UserVersion2 = 83; // above 26 a node's flags are 32 bits, else 16
    std::uint32_t UserVersion = 12;
};

ByteString Build_Template(const TemplateLayout& layout);
// The bundled example: no blocks, the accumulation-root string, a footer with no roots.
TemplateLayout Example_Template();
// Every table of the container in use.
TemplateLayout Rich_Template();

// A key: time, position x y z, rotation w x y z (Euler: w unused, x y z the angles), scale.
using Key = std::array<float, 9>;
struct Bone {
    std::string Name;
    std::vector<Key> Keys;
};

// A track of a transform-data body: its key type and keys, each its time, then its fields in file order
// (value, then tangents or tension, bias and continuity as its type asks); fields left out are zero.
struct Track {
    std::uint32_t Type = 1;
    std::vector<std::vector<float>> Keys{};
};
// A transform-data body track by track: with Angles the three angle groups, else quaternion keys; then
// translations and scales.
struct Tracks {
    std::vector<Track> Angles{};
    Track Rotations{}, Translations{}, Scales{};
};
ByteString Transform_Data(const Tracks& tracks);

// Text keys: each its time and text.
using TextKeyList = std::vector<std::pair<float, std::string>>;
// A sequence's own settings as a conversion writes them; each left as it is takes the converter's default.
struct SequenceSpec {
    std::string Name = "SpecialIdle";
    std::uint32_t Cycle = 0;
    float Frequency = 1, Weight = 1, Start = 0;
    std::optional<float> Stop{};       // the duration
    std::optional<std::string> Root{}; // the first "NPC Root [Root]", else string 0
    bool NoRoot = false;
    std::optional<TextKeyList> TextKeys{};                          // "start" at 0, "end" at the duration
    std::vector<std::pair<std::string, int>> Priorities{};          // node name, priority
    std::vector<std::int32_t> NoteArrays{};                         // block links a conversion never writes
    bool NoTextKeyBlock = false;                                    // a link of -1 and no block
    std::vector<std::pair<std::string, std::string>> Controllers{}; // node name, its controller type ("": -1)
};

// A transform-data body as the converter writes one.
ByteString Transform_Data_Body(bool euler, const std::vector<Key>& keys);
// An interpolator body: its pose (position x y z, rotation w x y z, scale) and its data block.
ByteString Interpolator_Body(std::int32_t data, const std::array<float, 8>& pose = {0, 0, 0, 1, 0, 0, 0, 1});
// A node block's fields; the programs read node blocks and never write them, so this is their writer.
struct Node {
    std::int32_t Name; // string index
    std::array<float, 3> Translation = {0, 0, 0};
    std::array<float, 9> Rotation = {1, 0, 0, 0, 1, 0, 0, 0, 1}; // the rows of R
    float Scale = 1;
    std::int32_t Links = 0; // extra-data links, and properties and effects where held, each -1
    std::vector<std::int32_t> Children{};
};
// A node body, no controller or collision object, its flags and lists as user version 2 `version2` asks.
ByteString Node_Body(const Node& node, std::uint32_t version2 = 83);
// A text-key body: each key's time and string index.
ByteString Text_Keys_Body(const std::vector<std::pair<float, std::int32_t>>& keys);

// A bone's curve: its interpolator (the packed form when Compressed), control values and basis. The
// programs read these blocks and never write them; this is their writer.
struct Curve {
    bool Compressed = true;
    float Start = 0, Stop = 1;
    std::array<float, 8> Pose = {0, 0, 0, 1, 0, 0, 0, 1};     // position, rotation w x y z, scale
    std::array<std::uint32_t, 3> Handles = {0, 65535, 65535}; // translation, rotation, scale
    std::array<float, 6> Unpack = {0, 1, 0, 1, 0, 1};         // offset and half range of each channel
    std::uint32_t Points = 4;
    std::vector<float> Values{};                 // the control values; packed ones are whole numbers
    std::optional<std::int32_t> Data{}, Basis{}; // links in place of the blocks written
};
// Block `block` of `layout` given the type `type`, added to the types when absent.
void Retype(TemplateLayout& layout, std::size_t block, const std::string& type);
// `layout` with the blocks at `data` (a transform-data block) and `data` + 1 (its interpolator) made
// `curve`'s: its control values, then its interpolator, whose basis block is appended.
TemplateLayout Curved(TemplateLayout layout, std::size_t data, const Curve& curve);
// The curve's position x y z, rotation w x y z (normalised) and scale at `time`, by de Boor's algorithm
// over its own control values: apart from the programs' evaluation by basis weights.
std::array<double, 8> Curve_At(const Curve& curve, double time);
// A packed curve of `points` control points in all three channels, drawn from `seed`, over `stop` s.
Curve Drawn_Curve(std::uint32_t points, float stop, unsigned seed);

// The bones of the first sequence of `kf`, in the order it binds them: each its form ("keys", "pose",
// "packed" or "floats") and, unless keys, what it holds as a curve (a pose: no channel animated). Read
// with the product's block readers; evaluate with Curve_At.
std::vector<std::pair<std::string, Curve>> Output_Bones(const ByteString& kf);
// The first key of `bone` that `curve` misses by more than `bounds` (position, rotation angle, scale),
// as text; "" when it misses none.
std::string Missed_Key(const Curve& curve, const Bone& bone, const std::array<double, 3>& bounds);
// `bones` bones of `keys` keys over `seconds` s, every channel a sine of its own drawn from `seed`;
// `still` channels (a set of "t", "r", "s") keep one value.
std::vector<Bone> Smooth_Bones(int bones, int keys, float seconds, unsigned seed,
                               const std::string& still = "");
// The bone table as it stands.
std::vector<Bone> Loaded_Bones();

// The example template with a sequence "Idle" of `seconds` s, bone b on Drawn_Curve(`points`, `seconds`, b).
ByteString Curves_File(const std::vector<Bone>& bones, std::uint32_t points, float seconds);
// `layout` with the blocks, types and strings a conversion of `bones` appends.
TemplateLayout Animated(TemplateLayout layout, bool euler, float duration, const std::vector<Bone>& bones,
                        const SequenceSpec& sequence = {});

std::string Name_Line(const std::string& name);
// The key text of `bones`, each number in its shortest form, and the closing record.
std::string Key_Text(bool euler, float duration, const std::vector<Bone>& bones);
// A key text (bytes or string) without its format line, whose wording each writer chooses.
template <typename Text>
std::string Keys_Body(const Text& text) {
    return std::string(std::find(text.begin(), text.end(), '\n'), text.end());
}
// `bones` bones of `keys` keys each with values drawn from `seed`, odd floats among them.
std::vector<Bone> Generated_Bones(int bones, int keys, bool euler, unsigned seed);

// A parameterised row's test name: its Name with every character but letters and digits as '_'.
inline const auto Row_Name = [](const auto& info) {
    std::string name = info.param.Name;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
};

// ---- the tables and the stages in process --------------------------------------------------------

// Every table back to its state at program start; the template is named "template.kf", the key file
// "keys.txt", its sequence file "keys.sequence.txt".
void Reset_All_Tables();
// What is found past its table's capacity (a count); "" when every table holds its count.
std::string Table_Fault();

// What the converter's stages write from a template and a key text named "keys.txt" (without a key
// text, the template is loaded and written alone), with a sequence text named "keys.sequence.txt" when
// one is given; nothing when they fail.
ByteString Convert(const ByteString& templateBytes, const std::string* keys,
                   const std::string* sequence = nullptr);

// The container loader on the bytes of a skeleton, its nodes taken into the skeleton table, and the
// document reset; the loader's result.
std::int32_t Load_Skeleton(const ByteString& nif);
// The key reader on `text`, named "keys.txt", after a reset; its result.
std::int32_t Load_Keys(const std::string& text);
// The bone table as the key-file writer writes it.
std::string Save_Keys();

// The chain of three nodes the node note gives: "Root" at (0, 0, 10); its child "Mid" at (5, 0, 0), a quarter
// turn about Z, of scale `midScale`; its child "Tip" at (2, 0, 0). Its bodies as Node_Body writes them for
// `version2`, each with `links` links in each list but the children.
ByteString Chain_Skeleton(float midScale = 1, std::uint32_t version2 = 83, std::int32_t links = 0);
// What posewright-keys --nodes writes for the bytes of a .nif (its node text), then its problem lines.
std::string Nodes_of(const ByteString& nif);

// posewright-keys' stages on the bytes of a .kf, with the bytes of `skeleton` when not empty: one key text
// per readable sequence; `each`, when given, runs once each is written, over that sequence's tables.
std::vector<std::string> Read_Back(const ByteString& kf, void (*each)() = nullptr,
                                   const ByteString& skeleton = {});

// The sequence-file reader on `text`, named "keys.sequence.txt", over the bone table as it stands.
std::int32_t Load_Sequence(const std::string& text);
// The sequence settings as the sequence-file writer writes them for the key file "keys.txt".
std::string Save_Sequence();

// ---- the built programs --------------------------------------------------------------------------

struct TempDir {
    std::string Path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
};

struct RunResult {
    std::string Transcript; // standard output and standard error, line ends as LF
    int ExitCode = -1;      // -1 when it did not end by itself within the time limit
};

// Runs "posewright" or "posewright-keys" (this build's, or POSEWRIGHT_BINARY / POSEWRIGHT_KEYS_BINARY
// from the environment, after POSEWRIGHT_RUNNER when set: an emulator) in `folder`, standard input at
// end of file.
RunResult Run_Program(const std::string& program, const std::string& folder,
                      const std::vector<std::string>& arguments, int timeoutSeconds = 30);

ByteString Read_File(const std::string& path);
void Write_File(const std::string& path, const ByteString& bytes);
ByteString As_Bytes(const std::string& text);
// The words of `text`, split at white space.
std::vector<std::string> Words(const std::string& text);
