// The yardstick's key reader: the scanner's interface on the C library's own fgets and fscanf, so a
// second build of the tool differs from the real one in nothing but how the key file is read.
// Line is left at 1 and the word of a number is empty: they only make error messages, and the
// benchmark files hold no errors.
#include <cstring>
#include <string>

#include "keys/key_scanner.h"

void Scanner_Open(KeyScanner& scanner, std::FILE* file) {
    scanner.File = file;
    scanner.Size = scanner.Pos = 0;
    scanner.AtEof = false;
    scanner.ReadFailed = false;
    scanner.PendingCr = false;
    scanner.Line = 1;
}

std::int32_t Scan_Line(KeyScanner& scanner, char* out, std::int32_t capacity) {
    if (std::fgets(out, capacity, scanner.File) == nullptr) return 0;
    return static_cast<std::int32_t>(std::strlen(out));
}

bool Scan_Float(KeyScanner& scanner, float* out) {
    return std::fscanf(scanner.File, "%f", out) == 1;
}

bool Scan_Int(KeyScanner& scanner, std::int32_t* out) {
    return std::fscanf(scanner.File, "%d", out) == 1;
}

void Scan_Skip_Space(KeyScanner& scanner) {
    [[maybe_unused]] const int ignored = std::fscanf(scanner.File, " ");
}

// Only error messages quote the word, and the benchmark files hold no errors.
std::string Scan_Token_Word(const KeyScanner&) {
    return "";
}

bool Scan_At_Eof(const KeyScanner& scanner) {
    return std::feof(scanner.File) != 0;
}
