// What both programs ask of the disk beside their stages: the output's place, why it cannot be written
// and the permissions it keeps, folders and the .kf files in them.
#pragma once

#include <string>
#include <vector>

// Why the output `name` cannot be written, as the end of a sentence: it is a folder, its folder does not
// exist or cannot be written, the file is read-only; or that another program may hold it.
std::string Why_Not_Writable(const char* name);

// Gives the finished file `partial` the permissions of the file `name` it is to replace, when there is
// one, so that a replaced output keeps them.
void Keep_Permissions(const char* name, const char* partial);

// True when `name` is a folder.
bool Is_Folder(const char* name);

// The files directly inside `folder` whose names end in `extension` (".kf", ".nif") in any case, as
// In_Folder names them, in byte order of their names.
std::vector<std::string> Files_In(const char* folder, const std::string& extension);

// The one name of the place `name` names, whether a file is there or not: absolute, its links followed
// and its dots resolved, so that two names of one file give one text (but for a file's hard links).
std::string Place_of(const char* name);
