// What both programs do with whole files beside their stages: the skeleton read before the template,
// and the output's place on disk, why it cannot be written and the permissions it keeps.
#pragma once

#include <cstdint>
#include <string>

// Reads the skeleton `name` (a .nif) with the template's loader and keeps its nodes; the document is
// then empty again, for the template. False after the loader's refusal and an ERROR line.
bool Read_Skeleton(const char* name);

// Why the output `name` cannot be written, as the end of a sentence: it is a folder, its folder does not
// exist or cannot be written, the file is read-only; or that another program may hold it.
std::string Why_Not_Writable(const char* name);

// Gives the finished file `partial` the permissions of the file `name` it is to replace, when there is
// one, so that a replaced output keeps them.
void Keep_Permissions(const char* name, const char* partial);
