// The converter's whole control flow: file names, the output-name rule, opening and closing the three
// files, the stages in their fixed order, and the one way out after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "capacities.h"

// Exit statuses: a script can tell a converted file from a refused one.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// Both programs write a file under its name plus this, beside it; it takes its place once complete.
inline constexpr const char* kPartialSuffix = ".part";

// The skeleton given with --skeleton, "" when none: the built bones are checked against it.
extern char SkeletonFileName[kFileNameSize];

// The converter on UTF-8 arguments. kExitSuccess after the success line, else kExitFailure.
int Posewright_Main(int argc, const char* const* argv);

// The stages between opening and closing the files, in their fixed order: template, keys, format check,
// build, write. 0; -1 after a message of the driver's own (the run stops there); -3 after a failing
// stage's message (the run ends through Terminate_Because_Of_Errors).
std::int32_t Run_Conversion_Stages();

// Every way out of both programs: one key press, then `status`.
int Wait_and_Return(int status);

// "--help" ("-h", "/?") or "--version" as the only argument: prints `help`, or `program` and the
// version, and says true.
bool Answer_Help_or_Version(int argc, const char* const* argv, const char* program, const char* help);

// Where the file-name part of `name` begins: after its last folder separator.
std::size_t File_Name_Start(const std::string& name);

// `name` without the last extension of its file-name part (a leading dot is no extension).
std::string Without_Extension(const std::string& name);

// The sequence file that goes with key file `keyFileName`: its name without its extension, then
// ".sequence.txt".
std::string Sequence_File_Name(const std::string& keyFileName);

// Copies `argument` into a file-name buffer of kFileNameSize bytes, or prints why it is too long.
bool Copy_File_Name(const char* argument, char* name);

// Writes the output name for `input` into `output` (capacity bytes): its folder, then its file-name part
// up to the first '.' after that part's first character (the whole part without one), then "_new.kf".
// False when it does not fit.
bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity);

// The output of key file `keyFile` in a batch: its folder and file-name part with its last extension
// replaced by ".kf" (".kf" added to a name without one); with `folder`, that file name in `folder`.
std::string Batch_Output_Name(const std::string& keyFile, const char* folder);

// Prints the termination message, discards the output so that no partial file is left and an existing
// one keeps its bytes, waits for a key and ends the process with kExitFailure.
[[noreturn]] void Terminate_Because_Of_Errors();
