#include "TextFile.h"

#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const size_t kBinaryProbeBytes = 4096;

bool HasUtf16Bom(const std::string& bytes)
{
    return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

// A descriptor closed with the object.
class CDescriptor
{
public:
    explicit CDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~CDescriptor()
    {
        if (m_descriptor >= 0) {
#ifdef _WIN32
            _close(m_descriptor);
#else
            close(m_descriptor);
#endif
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;

    int Get() const { return m_descriptor; }

private:
    int m_descriptor;
};

#ifdef _WIN32
typedef struct _stat64 FileStatus;
int StatusOf(int descriptor, FileStatus& status) { return _fstat64(descriptor, &status); }
long ReadSome(int descriptor, char* buffer, size_t size) { return _read(descriptor, buffer, unsigned(size)); }
#else
typedef struct stat FileStatus;
int StatusOf(int descriptor, FileStatus& status) { return fstat(descriptor, &status); }
long ReadSome(int descriptor, char* buffer, size_t size)
{
    ssize_t n;
    do
        n = read(descriptor, buffer, size);
    while (n < 0 && errno == EINTR);
    return long(n);
}
#endif

FileRead Kind(const FileStatus& status)
{
    if ((status.st_mode & S_IFMT) == S_IFDIR)
        return FileRead::Folder;
    return (status.st_mode & S_IFMT) == S_IFREG ? FileRead::Read : FileRead::NotRegular;
}

}  // namespace

FileRead ReadWholeFile(const std::filesystem::path& path, size_t maxBytes, std::string& bytes)
{
    bytes.clear();
#ifdef _WIN32
    // The platform's C library cannot open a folder at all: ask first, so that a folder is told
    // from a file that cannot be read.
    FileStatus named = {};
    if (_wstat64(path.c_str(), &named) == 0 && Kind(named) != FileRead::Read)
        return Kind(named);
    CDescriptor file(_wopen(path.c_str(), _O_RDONLY | _O_BINARY));
#else
    // Opened without waiting: a FIFO would otherwise block the open until a writer comes.
    CDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
#endif
    if (file.Get() < 0)
        return FileRead::Unreadable;
    FileStatus status = {};
    if (StatusOf(file.Get(), status) != 0)
        return FileRead::Unreadable;
    if (Kind(status) != FileRead::Read)
        return Kind(status);
    if (status.st_size < 0 || uint64_t(status.st_size) > maxBytes)
        return FileRead::TooLarge;
#ifndef _WIN32
    fcntl(file.Get(), F_SETFL, fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
#endif
    bytes.reserve(size_t(status.st_size));
    const FileRead result = ReadToEnd(file.Get(), maxBytes, bytes);
    if (result != FileRead::Read)
        bytes = std::string();
    return result;
}

FileRead ReadToEnd(int descriptor, size_t maxBytes, std::string& bytes)
{
    char chunk[65536];
    for (;;) {
        const long n = ReadSome(descriptor, chunk, sizeof chunk);
        if (n < 0)
            return FileRead::Unreadable;
        if (n == 0)
            return FileRead::Read;
        if (size_t(n) > maxBytes - std::min(bytes.size(), maxBytes))
            return FileRead::TooLarge;
        bytes.append(chunk, size_t(n));
    }
}

std::u16string DecodeTextFile(std::string& bytes)
{
    const bool little = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (!HasUtf16Bom(bytes)) {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            bytes.erase(0, 3);
        return DecodeUtf8(bytes);
    }
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned first = uint8_t(bytes[i]), second = uint8_t(bytes[i + 1]);
        text += char16_t(little ? second << 8 | first : first << 8 | second);
    }
    if (bytes.size() % 2 != 0)
        text += u'\uFFFD';
    return text;
}

bool LooksBinary(const std::string& bytes)
{
    return !HasUtf16Bom(bytes) &&
           std::memchr(bytes.data(), '\0', std::min(bytes.size(), kBinaryProbeBytes)) != nullptr;
}
