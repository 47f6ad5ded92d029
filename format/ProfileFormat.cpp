#include "ProfileFormat.h"

#include <cstring>
#include <new>

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

    // Zeroed up front, so that a long zero run only moves the cursor. Literal runs are a few bytes
    // long, between zero runs of a few bytes, so they are copied eight bytes at a time where the
    // stream allows: bytes written past the run (at most seven, inside the eight spare bytes at the
    // end) are overwritten by the next run, or cleared before a zero run moves on.
    const size_t kSpare = 8;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size_t(unpackedLength) + kSpare]());
    if (!buffer)
        return false;

    uint8_t* w = buffer.get();
    uint8_t* const end = w + unpackedLength;
    const uint8_t* r = payload + 4;
    const uint8_t* const last = payload + payloadLength;
    while (r < last) {
        if (kLittleEndian && last - r >= 8) {
            uint64_t word;
            std::memcpy(&word, r, 8);
            const uint64_t x = ~word;  // a 0xFF byte becomes 0
            const uint64_t escapes = (x - 0x0101010101010101u) & ~x & 0x8080808080808080u;
            const size_t literals = escapes != 0 ? size_t(LowestSetBit(escapes)) / 8 : 8;
            if (literals > size_t(end - w))
                return false;
            std::memcpy(w, r, 8);
            w += literals;
            r += literals;
            if (literals == 8)
                continue;
        } else if (*r != 0xFF) {
            if (w == end)
                return false;
            *w++ = *r++;
            continue;
        }
        // An escape at r.
        if (r + 1 == last)
            return false;
        const uint8_t n = r[1];
        r += 2;
        if (n == 0) {
            if (w == end)
                return false;
            *w++ = 0xFF;
        } else {
            if (size_t(end - w) < n)
                return false;
            std::memset(w, 0, kSpare);
            w += n;
        }
    }
    // A stream that stops short is a truncated profile.
    if (w != end)
        return false;

    out = std::move(buffer);
    outLength = unpackedLength;
    return true;
}
