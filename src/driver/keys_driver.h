// posewright-keys: a .kf animation back to key text, with the problems found in it. Its run, top to
// bottom: the name, open and load the container with the converter's loader, then per controller
// sequence read its bones back and write its key file, then the problems and the closing line.
#pragma once

#include <string>

// posewright-keys on UTF-8 arguments. kExitSuccess when it wrote every key file it could read a
// sequence for, else kExitFailure.
int Posewright_Keys_Main(int argc, const char* const* argv);

// The key file of sequence `sequence` of the input `input`: beside it, the input's file name without
// its last extension, then "_keys.txt", or with several sequences "_<sequence>_keys.txt", characters
// that cannot stand in a file name replaced by '_'.
std::string Key_File_Name(const std::string& input, const std::string& sequence, bool severalSequences);
