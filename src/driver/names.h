// Every rule that turns one file name into another, for both programs: the converter's output, a
// batch's outputs, the sequence file beside a key file, the key text of a .kf, the node text of a .nif,
// the template of a .kf, the partial file, and a file inside a folder. Names only: nothing here looks at the
// disk.
#pragma once

#include <cstddef>
#include <string>

// Both programs write a file under its name plus this, beside it; it takes its place once complete.
inline constexpr const char* kPartialSuffix = ".part";
// posewright-keys keeps an old file under its name plus this until the new pair is in place.
inline constexpr const char* kAsideSuffix = ".old.part";

// Where the file-name part of `name` begins: after its last folder separator.
std::size_t File_Name_Start(const std::string& name);

// `name` without the last extension of its file-name part (a leading dot is no extension).
std::string Without_Extension(const std::string& name);

// The sequence file that goes with key file `keyFileName`: its name without its extension, then
// ".sequence.txt".
std::string Sequence_File_Name(const std::string& keyFileName);

// Writes the output name for `input` into `output` (capacity bytes): its folder, then its file-name part
// up to the first '.' after that part's first character (the whole part without one), then "_new.kf".
// False when it does not fit.
bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity);

// The output of key file `keyFile` in a batch: its folder and file-name part with its last extension
// replaced by ".kf" (".kf" added to a name without one); with `folder`, that file name in `folder`.
std::string Batch_Output_Name(const std::string& keyFile, const char* folder);

// The key file of sequence `sequence` of the input `input`: beside it, the input's file name without
// its last extension, then "_keys.txt", or with several sequences "_<sequence>_keys.txt", characters
// that cannot stand in a file name replaced by '_'.
std::string Key_File_Name(const std::string& input, const std::string& sequence, bool severalSequences);

// The node text of the .nif `input` (posewright-keys --nodes): beside it, its name without its last
// extension, then "_nodes.txt".
std::string Nodes_File_Name(const std::string& input);
// The template made of the .kf `input` (posewright-keys --template): beside it, its name without its
// last extension, then "_template.kf".
std::string Template_File_Name(const std::string& input);

// The name `name` is written under until it is whole: `name` + ".part", its file-name part cut at a
// character so that it stays within the 255 bytes a file system takes for one.
std::string Partial_Name(const std::string& name);
// The name an old file `name` is kept under while its replacement takes its place: as Partial_Name, with
// ".old.part".
std::string Aside_Name(const std::string& name);

// `file` inside `folder`, joined by the separator the folder's name already uses ('/' when none).
std::string In_Folder(const std::string& folder, const std::string& file);
