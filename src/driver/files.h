// What both programs do with whole files beside their stages: the skeleton read before the template,
// and the output's place on disk, why it cannot be written and the permissions it keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the skeleton given with --skeleton (`option`, null when none: true at once) into
// SkeletonFileName and, with the template's loader, its nodes into the skeleton table; the document is
// then empty again, for the template. False after the name's, the loader's or its own ERROR line.
bool Read_Skeleton(const char* option);

// Why the output `name` cannot be written, as the end of a sentence: it is a folder, its folder does not
// exist or cannot be written, the file is read-only; or that another program may hold it.
std::string Why_Not_Writable(const char* name);

// Gives the finished file `partial` the permissions of the file `name` it is to replace, when there is
// one, so that a replaced output keeps them.
void Keep_Permissions(const char* name, const char* partial);

// The name `name` is written under until it is whole: `name` + ".part", its file-name part cut at a
// character so that it stays within the 255 bytes a file system takes for one.
std::string Partial_Name(const std::string& name);

// True when `name` is a folder.
bool Is_Folder(const char* name);

// `file` inside `folder`, joined by the separator the folder's name already uses ('/' when none).
std::string In_Folder(const std::string& folder, const std::string& file);

// The files directly inside `folder` whose names end in ".kf" in any case, as In_Folder names them, in
// byte order of their names.
std::vector<std::string> Kf_Files_In(const char* folder);

// The one name of the place `name` names, whether a file is there or not: absolute, its links followed
// and its dots resolved, so that two names of one file give one text (but for a file's hard links).
std::string Place_of(const char* name);
