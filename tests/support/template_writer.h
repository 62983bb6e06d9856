// Builds NIF container bytes field by field, for fixtures: a whole template from a description, or
// any malformed variant through the raw Bytes sink.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct Bytes {
    std::vector<std::uint8_t> Data;

    Bytes& u8(std::uint8_t value);
    Bytes& u16(std::uint16_t value);
    Bytes& u32(std::uint32_t value);
    Bytes& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }
    Bytes& f32(float value);
    Bytes& u32s(std::initializer_list<std::uint32_t> values);
    Bytes& i32s(std::initializer_list<std::int32_t> values);
    Bytes& f32s(std::initializer_list<float> values);
    Bytes& raw(const std::string& text);
    Bytes& raw(const std::vector<std::uint8_t>& bytes);
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
    std::vector<std::vector<std::uint8_t>> Bodies;
    std::vector<std::string> Strings;
    std::int64_t MaxStringLength = -1; // -1: the longest string's length
    std::uint32_t NumGroups = 0;
    bool HasFooter = true;
    std::vector<std::int32_t> Roots;
    std::vector<std::uint8_t> Trailing; // bytes after the footer
};

// The header fields 1 to 15, then the bodies, footer and trailing bytes.
std::vector<std::uint8_t> Build_Template(const TemplateLayout& layout);

// The transform data of one quaternion key: position (1, 2, 3), rotation (1, 0, 0, 0), scale 1.
std::vector<std::uint8_t> One_Quaternion_Key_Body(float time);

// The example template: no blocks, the accumulation-root string, a footer with no roots.
TemplateLayout Example_Template();

std::vector<std::uint8_t> Read_File(const std::string& path);
void Write_File(const std::string& path, const std::vector<std::uint8_t>& bytes);
void Write_File(const std::string& path, const std::string& text);
