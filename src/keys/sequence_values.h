// The values of the sequence file's lines, read and written as mirrors of each other: TEXT (a
// double-quoted text, \" and \\ its only escapes), NUMBER (a C-style decimal, rounded to the nearest
// float) and INTEGER ([+-]?D+), and the one form of a refused line.
#pragma once

#include <cstdint>
#include <string>

// What is left of the line being read.
struct Cursor {
    const char* At;
    const char* End;
};

// The line being read, counted from 1, for the messages.
extern std::int64_t Sequence_File_Line;

// Prints "\n[Load_from_File___Sequence_Settings] ERROR: Line N: <what>!\n". Returns -3.
std::int32_t Refuse(const std::string& what);

bool At_Blank(const Cursor& in); // a space or a tab
void Skip_Blanks(Cursor& in);
bool At_Digit(const Cursor& in);
// The bytes up to the next space, tab or line end.
std::string Word(Cursor& in);

// "'text'", built by appending: g++ 12 takes "'" + std::string for an overlapping copy (-Wrestrict).
std::string Quoted(const std::string& text);

// Each reads its value at `in` and moves past it. 0, or -3 after the refusal.
// TEXT into `text` (kTextEntrySize bytes): at most kTextEntrySize - 1 bytes once unescaped, no zero byte.
std::int32_t Read_Text(Cursor& in, char* text);
// NUMBER: [+-]?(D+(.D*)?|.D+)([eE][+-]?D+)?; what is not finite as a float is refused.
std::int32_t Read_Number(Cursor& in, float* value);
// INTEGER from 0 to `largest`; `what` names it in the refusal ("the priority").
std::int32_t Read_Integer(Cursor& in, std::uint32_t largest, const char* what, std::uint32_t* value);

// The mirrors: TEXT quoted with \" and \\ escaped, NUMBER in its shortest form.
void Put_Text(std::string& out, const char* text);
void Put_Number(std::string& out, float value);
