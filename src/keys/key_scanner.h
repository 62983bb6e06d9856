// One buffered pass over a text stream that reads lines, numbers and white space exactly as the
// C library's fgets and fscanf ("%f", "%d", and a white-space directive) do, with CR LF taken as LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Bytes read at a time: many key lines a chunk, and small beside the bone table.
inline constexpr std::size_t kScannerBufferSize = 16 * 1024;

struct KeyScanner {
    std::FILE* File;
    unsigned char Buffer[kScannerBufferSize];
    std::size_t Size;  // valid bytes in Buffer
    std::size_t Pos;   // next unread byte in Buffer
    bool AtEof;        // the stream's end-of-file indicator: sticky once a read went past the end
    bool PendingCr;    // a CR that ended the last chunk; decided by the first byte of the next
    std::int32_t Line; // 1-based line of the next unread character
};

// Starts reading `file` from its current position.
void Scanner_Open(KeyScanner& scanner, std::FILE* file);

// fgets(out, capacity): stores at most capacity-1 bytes, ending after a line feed; zero-terminates.
// Returns the number of bytes stored, 0 when the end was reached before any byte (out unchanged then).
std::int32_t Scan_Line(KeyScanner& scanner, char* out, std::int32_t capacity);

// fscanf "%f": skips leading white space and converts. On failure *out is left unchanged; as in the
// C library, the bytes read so far stay consumed ("-x" leaves "x", "inx" leaves nothing of itself).
// Returns true when a value was stored.
bool Scan_Float(KeyScanner& scanner, float* out);

// fscanf "%d", with the same failure behaviour as Scan_Float.
bool Scan_Int(KeyScanner& scanner, std::int32_t* out);

// A white-space directive: skips all white space.
void Scan_Skip_Space(KeyScanner& scanner);

// feof: true once a read has tried to go past the last byte.
bool Scan_At_Eof(const KeyScanner& scanner);
