// What the programs need of the platform: the key wait and files by name. The platform layer provides
// it, one way per platform. Names are UTF-8 throughout; on Windows they are opened by their wide names.
#pragma once

#include <cstdio>

// Flushes standard output, then, when standard input is a console, says so in one line and waits for
// one key press without echo and without Enter; otherwise consumes at most one byte and returns at
// end of input.
void Wait_for_Key_Press();

// fopen by a UTF-8 name.
std::FILE* Open_File(const char* name, const char* mode);

// Removes the file `name`; true when it is gone (or was never there).
bool Remove_File(const char* name);

// Renames `from` to `to`, replacing a file of that name. True on success.
bool Replace_File(const char* from, const char* to);

// True when both names lead to one existing file (the same path, or a link to it).
bool Same_File(const char* a, const char* b);

// True for a character that ends a folder name: '/', and on Windows '\' and a drive's ':' too.
bool Is_Folder_Separator(char c);
