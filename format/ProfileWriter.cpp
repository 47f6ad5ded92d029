#include "ProfileWriter.h"

#include "ProfileFormat.h"

namespace {

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> PackZeroRuns(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    out.reserve(data.size() / 4);
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t b = data[i];
        if (b == 0xFF) {
            out.push_back(0xFF);
            out.push_back(0x00);
            ++i;
        } else if (b != 0) {
            out.push_back(b);
            ++i;
        } else {
            size_t run = 0;
            while (i + run < data.size() && data[i + run] == 0)
                ++run;
            i += run;
            if (run == 1) {
                out.push_back(0);
                continue;
            }
            while (run > 0) {
                const size_t piece = run > 255 ? 255 : run;
                // A remainder of one after full pieces of 255 is still written as a run token.
                out.push_back(0xFF);
                out.push_back(uint8_t(piece));
                run -= piece;
            }
        }
    }
    return out;
}

std::vector<BlobSlot> PlaceKeys(const std::vector<NgramCount>& keys, int32_t slotCount)
{
    std::vector<BlobSlot> slots(static_cast<size_t>(slotCount));
    for (const NgramCount& k : keys) {
        uint32_t i = HashNgram(k.key.c_str()) % uint32_t(slotCount);
        while (!slots[i].key.empty())
            i = (i + 1) % uint32_t(slotCount);
        slots[i].key = k.key;
        slots[i].count = k.count;
    }
    return slots;
}

std::vector<uint8_t> WriteBlob(const std::vector<BlobSlot>& slots, int32_t totalCount)
{
    std::vector<uint8_t> data;
    int32_t entryCount = 0;
    for (const BlobSlot& s : slots)
        PutLe32(data, uint32_t(s.count));
    size_t keyAreaLength = 0;
    for (const BlobSlot& s : slots) {
        if (!s.key.empty())
            ++entryCount;
        for (char16_t c : s.key) {
            data.push_back(uint8_t(c));
            data.push_back(uint8_t(c >> 8));
        }
        data.push_back(0);
        data.push_back(0);
        keyAreaLength += s.key.size() + 1;
    }

    std::vector<uint8_t> blob = {'L', 'A', 'N', 'G'};
    PutLe32(blob, uint32_t(slots.size()));
    PutLe32(blob, uint32_t(entryCount));
    PutLe32(blob, uint32_t(totalCount));
    PutLe32(blob, uint32_t(keyAreaLength));
    PutLe32(blob, uint32_t(data.size()));
    const std::vector<uint8_t> packed = PackZeroRuns(data);
    blob.insert(blob.end(), packed.begin(), packed.end());
    return blob;
}

int32_t NextPrimeAbove(int32_t n)
{
    for (int32_t c = n + 1;; ++c) {
        bool prime = c >= 2;
        for (int32_t d = 2; prime && int64_t(d) * d <= c; ++d)
            prime = c % d != 0;
        if (prime)
            return c;
    }
}
