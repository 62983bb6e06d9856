// The converter's whole control flow: file names, the output-name rule, opening and closing the three
// files, the stages in their fixed order, and the one way out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Exit statuses: a script can tell a converted file from a refused one.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// The program's run on byte-string arguments (argument 0 the program name), called by the platform
// layer's entry; each program defines it once.
int Program_Main(int argc, const char* const* argv);

// The converter on byte-string arguments. kExitSuccess after the success line, else kExitFailure.
int Posewright_Main(int argc, const char* const* argv);

// The stages between opening and closing the files, in their fixed order: template, keys, format check,
// build, write. 0; -1 after a message of the driver's own (the run stops there); -3 after a failing
// stage's message (the run ends through Terminate_Because_Of_Errors).
std::int32_t Run_Conversion_Stages();

// One wide argument as bytes: each character gives its low byte, and one whose low byte is 0 ends it.
std::string Narrow_Argument(const wchar_t* wide);

// Copies `argument` into a file-name buffer of kFileNameSize bytes, or prints why it is too long.
bool Copy_File_Name(const char* argument, char* name);

// Writes the output name for `input` into `output` (capacity bytes): the name up to the first '.'
// after its first character, or the whole name without one, then "_new.kf". False when it does not fit.
bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity);

// Prints the termination message, empties the output so that no partial file is left, waits for a
// key and ends the process with kExitFailure.
[[noreturn]] void Terminate_Because_Of_Errors();
