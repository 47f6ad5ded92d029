#include "ProfileFormat.h"

#include <cstring>
#include <new>

uint32_t HashNgram(const char16_t* key, size_t length)
{
    if (length == 0)
        return 0;
    uint32_t h = HashStart(key[0]);
    for (size_t i = 0; i < length; ++i)
        h = HashStep(h, key[i]);
    return h;
}

uint32_t HashNgram(const char16_t* key)
{
    size_t length = 0;
    while (key[length] != 0)
        ++length;
    return HashNgram(key, length);
}

bool UnpackZeroRuns(const uint8_t* payload, size_t payloadLength,
                    std::unique_ptr<uint8_t[]>& out, uint32_t& outLength)
{
    if (payload == nullptr || payloadLength <= 4)
        return false;
    const uint32_t unpackedLength = ReadLe32(payload);
    if (unpackedLength == 0)
        return false;
    // Every two-byte token yields at most 255 bytes, so a larger claim is corrupt; refusing it
    // before allocating keeps a hostile header from asking for gigabytes.
    if (uint64_t(unpackedLength) > 128u * uint64_t(payloadLength - 4))
        return false;

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[unpackedLength]);
    if (!buffer)
        return false;

    size_t r = 4;
    uint32_t w = 0;
    while (r < payloadLength) {
        // Literal bytes up to the next escape are copied as one block.
        const uint8_t* escape = static_cast<const uint8_t*>(std::memchr(payload + r, 0xFF, payloadLength - r));
        const size_t literals = (escape != nullptr ? size_t(escape - payload) : payloadLength) - r;
        if (literals > unpackedLength - w)
            return false;
        std::memcpy(buffer.get() + w, payload + r, literals);
        w += uint32_t(literals);
        r += literals;
        if (r == payloadLength)
            break;
        if (r + 1 == payloadLength)
            return false;
        const uint8_t n = payload[r + 1];
        if (n == 0) {
            if (w == unpackedLength)
                return false;
            buffer[w++] = 0xFF;
        } else {
            if (uint64_t(w) + n > unpackedLength)
                return false;
            std::memset(buffer.get() + w, 0, n);
            w += n;
        }
        r += 2;
    }
    // A stream that stops short is a truncated profile.
    if (w != unpackedLength)
        return false;

    out = std::move(buffer);
    outLength = unpackedLength;
    return true;
}
