// The entry's whole control flow: file names, the output-name rule, opening and closing the three
// files, the stages in their fixed order, and the one way out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Runs the program on byte-string arguments (argument 0 the program). Always returns 0.
int Posewright_Main(int argc, const char* const* argv);

// The same on wide-character arguments, each narrowed to the low byte of its characters.
int Posewright_Main_Wide(int argc, const wchar_t* const* argv);

// One wide argument as bytes: each character gives its low byte, and one whose low byte is 0 ends it.
std::string Narrow_Argument(const wchar_t* wide);

// Writes the output name for `input` into `output` (capacity bytes): the name up to the first '.'
// after its first character, or the whole name without one, then "_new.kf". False when it does not fit.
bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity);

// Prints the termination message, empties the output so that no partial file is left, waits for a
// key and ends the process with status 0.
[[noreturn]] void Terminate_Because_Of_Errors();
