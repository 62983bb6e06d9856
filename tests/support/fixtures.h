// The one fixture library of the tests, the fuzz targets and the fixture tool: container files built
// field by field, key texts, the tables reset and checked, the stages of both programs run in
// process, and the built programs run in a folder of their own.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

using ByteString = std::vector<std::uint8_t>;

// ---- files built field by field ------------------------------------------------------------------

struct Bytes {
    ByteString Data;

    Bytes& u8(std::uint8_t value);
    Bytes& u16(std::uint16_t value);
    Bytes& u32(std::uint32_t value);
    Bytes& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }
    Bytes& f32(float value);
    Bytes& u32s(std::initializer_list<std::uint32_t> values);
    Bytes& i32s(std::initializer_list<std::int32_t> values);
    Bytes& f32s(std::initializer_list<float> values);
    Bytes& raw(const std::string& text);
    Bytes& raw(const ByteString& bytes);
    Bytes& sized(const std::string& text) { return u32(static_cast<std::uint32_t>(text.size())).raw(text); }
    Bytes& short_string(const std::string& text); // length byte with the zero counted, text, zero
};

struct TemplateLayout {
    std::string HeaderLine = "NIF File Format, Version 20.2.0.7\n";
    std::array<std::uint8_t, 4> Version = {7, 0, 2, 20};
    std::uint8_t EndianType = 1;
    std::uint32_t UserVersion = 12;
    std::uint32_t UserVersion2 = 83;
    std::array<std::string, 3> ShortStrings = {"", "", ""};
    std::vector<std::string> BlockTypes;
    std::vector<std::uint16_t> BlockTypeIndex; // one per body
    std::vector<ByteString> Bodies;
    std::vector<std::string> Strings;
    std::int64_t MaxStringLength = -1; // -1: the longest string's length
    std::uint32_t NumGroups = 0;
    bool HasFooter = true;
    std::vector<std::int32_t> Roots;
    ByteString Trailing; // bytes after the footer
};

ByteString Build_Template(const TemplateLayout& layout);

// The bundled example: no blocks, the accumulation-root string, a footer with no roots.
TemplateLayout Example_Template();
// Every table of the container in use.
TemplateLayout Rich_Template();

// The blocks a conversion appends, written field by field. A key is time, position x y z, rotation
// w x y z (Euler: ignored, x y z the angles) and scale.
using Key = std::array<float, 9>;
ByteString Transform_Data_Body(bool euler, const std::vector<Key>& keys);
ByteString Interpolator_Body(std::int32_t dataBlock);
ByteString Text_Keys_Body(std::int32_t start, float duration, std::int32_t end);
struct Binding {
    std::int32_t Interpolator, NodeName, ControllerType;
};
ByteString Sequence_Body(std::int32_t name, const std::vector<Binding>& bindings, std::int32_t textKeys,
                         float duration, std::int32_t accumRoot);

// A conversion's bones: their names and keys, as a key text and as the blocks appended to `layout`.
struct Bone {
    std::string Name;
    std::vector<Key> Keys;
};
std::string Key_Text(bool euler, float duration, const std::vector<Bone>& bones);
std::string Name_Line(const std::string& name);
// `layout` with the blocks, types and strings the converter appends for `bones`.
TemplateLayout Animated(TemplateLayout layout, bool euler, float duration, const std::vector<Bone>& bones);
// `bones` bones of `keys` keys each with values drawn from `seed`, odd floats among them.
std::vector<Bone> Generated_Bones(int bones, int keys, bool euler, unsigned seed);

// ---- the tables ------------------------------------------------------------------------------------

void Reset_All_Tables();
// The first count found past its table's capacity, or "" when every table holds its count.
std::string Table_Fault();

// ---- the programs' stages in process ------------------------------------------------------------------

std::FILE* Open_Bytes(const ByteString& bytes); // read-only, over `bytes`, which must outlive it

struct Stages {
    std::int32_t Result = 0; // the stages' result: 0, -1 or -3
    ByteString Output;       // empty unless the result is 0
};
// The converter's stages on a template and a key text named "keys.txt"; without a key text, the
// template is loaded and written alone.
Stages Convert(const ByteString& templateBytes, const std::string* keys);

// The key reader on `text`, named "keys.txt"; its result. The tables are reset first.
std::int32_t Load_Keys(const std::string& text);
// The bone table as the key-file writer writes it.
std::string Save_Keys();

struct KeyTexts {
    std::int32_t Result = 0;        // the loader's result
    std::vector<std::string> Texts; // one key text per readable sequence
};
// posewright-keys' stages on the bytes of a .kf.
KeyTexts Read_Back(const ByteString& kf);

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

// Runs POSEWRIGHT_BINARY or POSEWRIGHT_KEYS_BINARY (from the environment, else this build's) as
// `program` "posewright" or "posewright-keys", in `folder`, standard input at end of file;
// POSEWRIGHT_RUNNER, when set, is put before it (an emulator for another platform's build).
RunResult Run_Program(const std::string& program, const std::string& folder,
                      const std::vector<std::string>& arguments, int timeoutSeconds = 30);

ByteString Read_File(const std::string& path);
void Write_File(const std::string& path, const ByteString& bytes);
void Write_File(const std::string& path, const std::string& text);
ByteString As_Bytes(const std::string& text);
