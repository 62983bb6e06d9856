// One buffered pass over a text stream that reads lines, numbers and white space exactly as the
// C library's fgets and fscanf ("%f", "%d", and a white-space directive) do, with CR LF taken as LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Bytes read at a time: many key lines a chunk, and small beside the bone table.
inline constexpr std::size_t kScannerBufferSize = 16 * 1024;
// Bytes of the chunk before kept for messages: a word longer than a number is cut there.
inline constexpr std::size_t kScannerTailSize = 64;

struct KeyScanner {
    std::FILE* File;
    unsigned char Buffer[kScannerBufferSize];
    std::size_t Size;  // valid bytes in Buffer
    std::size_t Pos;   // next unread byte in Buffer
    bool AtEof;        // the stream's end-of-file indicator: sticky once a read went past the end
    bool ReadFailed;   // a read of the stream failed (a failing disk, a share gone): AtEof is set too
    bool PendingCr;    // a CR that ended the last chunk; decided by the first byte of the next
    std::int32_t Line; // 1-based line of the next unread character
    // What a message about the last number read needs: where it began (counted in bytes read since the
    // start, CR LF pairs as one) and on which line, and the end of the chunk before this one.
    std::uint64_t Before;     // bytes read before Buffer[0]
    std::uint64_t TokenStart; // where the last Scan_Float or Scan_Int began, past its white space
    std::int32_t TokenLine;
    unsigned char Tail[kScannerTailSize];
    std::size_t TailSize;
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

// The white-space-separated word that holds the first byte of the last Scan_Float or Scan_Int, as far
// as the scanner still holds it (at most kScannerTailSize bytes before it, and the rest of the chunk
// after it), "..." marking a cut; "" at the end of the file. Reads nothing.
std::string Scan_Token_Word(const KeyScanner& scanner);

// feof: true once a read has tried to go past the last byte, or has failed.
bool Scan_At_Eof(const KeyScanner& scanner);
