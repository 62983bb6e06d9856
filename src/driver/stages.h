// The converter's stages between its names and its summary, shared by a run of one key file and a batch:
// the files opened and closed, the template's and the keys' stages in their fixed order, the output
// whole or not at all, and the one way out after a failing stage's message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// What a batch shares between its key files: every file given after the template, with its place (as
// Place_of names it); where the outputs go (nullptr: beside each key file); the place of the output of the
// key file in hand and the key file before it that would write it too, if any; the outputs so far, with
// their key files.
struct Batch {
    std::vector<const char*> Given;
    std::vector<std::string> GivenPlaces;
    const char* Folder = nullptr;
    std::string Output, TakenBy;
    std::vector<std::pair<std::string, std::string>> Outputs;
};

// The stages between opening and closing the files, in their fixed order: template, keys, format check,
// build, write. 0; -1 after a message of the driver's own (the run stops there); -3 after a failing
// stage's message (the run ends through Terminate_Because_Of_Errors).
std::int32_t Run_Conversion_Stages();

// The stages after the template: keys, format check, sequence settings, build, write. The number of
// warnings printed; -1 after a message of the driver's own, -3 after a failing stage's.
std::int32_t Run_Key_File_Stages();

// Opens `name` for reading, with its line: found or not.
std::FILE* Open_Input(const char* name);

// The sequence file beside AnimationKeysFileName, when its name fits (none otherwise).
void Take_Sequence_File_Beside();

// The key file, its sequence file (`named`: given with --sequence, so it must be there) and the output,
// after the template (in a batch, its other files). False after the line that says which failed.
bool Open_Key_Files(bool named, Batch* batch);

// The template, then the key files as Open_Key_Files opens them, after the line that says so.
bool Open_Files(bool named);

// Closes output, template and keys in this order; the first failure ends the closing and discards the
// output. Then the complete output takes its name. False after the line that says what failed.
bool Close_Files();

// Leaves the output as the run found it: the partial file goes, a file of the output's name stays.
void Discard_Output();

// Prints the termination message, discards the output so that no partial file is left and an existing
// one keeps its bytes, waits for a key and ends the process with kExitFailure.
[[noreturn]] void Terminate_Because_Of_Errors();

// The first line of `file` reads as a .kf's header line.
bool Begins_Like_Kf(std::FILE* file);

// A template that already animates something: the output holds its sequences beside the new one.
void Warn_of_Template_Sequences();
