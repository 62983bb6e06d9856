// The ground floor both programs stand on, one way per platform: the program's entry, the key wait and
// files by name. Names are UTF-8 throughout; on Windows they are opened by their wide names.
#pragma once

#include <cstdio>

// The program's run on UTF-8 arguments (argument 0 the program name). The entry calls it; each program
// defines it once, in the driver.
int Program_Main(int argc, const char* const* argv);

// Flushes standard output, then, when standard input is a console, says so in one line and waits for
// one key press without echo and without Enter; otherwise consumes at most one byte and returns at
// end of input.
void Wait_for_Key_Press();

// How a file is opened. Always in binary mode, so that every system reads the same bytes: a CR LF, a
// CR CR LF or a Ctrl-Z reach the readers as they stand in the file.
enum class FileMode {
    Read,   // "rb"
    Write,  // "wb": created, or emptied
    Update, // "r+b": an existing file, not changed; a test that it could be replaced
};

// fopen by a UTF-8 name, in binary mode.
std::FILE* Open_File(const char* name, FileMode mode);

// Removes the file `name`; true when it is gone (or was never there).
bool Remove_File(const char* name);

// Renames `from` to `to`, replacing a file of that name. True on success.
bool Replace_File(const char* from, const char* to);

// True when both names lead to one existing file (the same path, or a link to it).
bool Same_File(const char* a, const char* b);

// True for a character that ends a folder name: '/', and on Windows '\' and a drive's ':' too.
bool Is_Folder_Separator(char c);
