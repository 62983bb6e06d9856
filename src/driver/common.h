// What both programs' runs share: exit codes, the one key wait on every way out, help and version,
// file names taken from arguments, the skeleton read before anything else, and what a refused input
// looks like.
#pragma once

#include "capacities.h"
#include "driver/options.h"

// Exit statuses: a script can tell a converted file from a refused one.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// The skeleton given with --skeleton, "" when none: the bones are checked against it.
extern char SkeletonFileName[kFileNameSize];

// Every way out of both programs: one key press, then `status`.
int Wait_and_Return(int status);

// Help or the version asked for among `options`: prints `help`, or `program` and the version, and says
// true.
bool Answer_Help_or_Version(const Options& options, const char* program, const char* help);

// Copies `argument` into a file-name buffer of kFileNameSize bytes, or prints why it is too long.
bool Copy_File_Name(const char* argument, char* name);

// Reads the skeleton given with --skeleton (`option`, null when none: true at once) into
// SkeletonFileName and, with the template's loader (its messages naming the skeleton), its nodes into
// the skeleton table; the document is then empty again, for the template. False after the name's, the
// loader's or its own ERROR line.
bool Read_Skeleton(const char* option);

// The template just refused names a rotation format in its first line, as a key file does.
bool Template_Looks_Like_Keys();
