// Whole text files as the tools and the window read them: the bytes of a regular file, decoded as
// UTF-16 after its byte-order mark, otherwise as UTF-8. No platform headers.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

enum class FileRead
{
    Read,        // the whole file is in the bytes
    Folder,      // a folder, not a file
    NotRegular,  // a device, a FIFO, a socket: refused before anything is read, so nothing waits
    Unreadable,  // it cannot be opened or read; errno says why
    TooLarge,    // more than the limit given
};

// Reads the whole regular file at `path` into `bytes` (replaced) when it holds at most `maxBytes`.
// Anything else leaves `bytes` empty.
FileRead ReadWholeFile(const std::filesystem::path& path, size_t maxBytes, std::string& bytes);

// Reads an open descriptor (standard input, say) to its end, at most `maxBytes`, appending to
// `bytes`. Read, TooLarge or Unreadable.
FileRead ReadToEnd(int descriptor, size_t maxBytes, std::string& bytes);

// The text of a whole file: UTF-16 LE or BE after its byte-order mark (surrogates pass unchanged, an
// odd last byte is U+FFFD), otherwise UTF-8 without its BOM (each maximal subpart of an ill-formed
// sequence is U+FFFD). Takes the bytes over.
std::u16string DecodeTextFile(std::string& bytes);

// Binary rather than text: a NUL byte within the first 4 KiB of a file without a UTF-16 byte-order
// mark.
bool LooksBinary(const std::string& bytes);
