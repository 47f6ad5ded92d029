// Writes the profile blobs that the Windows-side tests embed as resources (and that stand in for
// profiles the build does not have yet). Run make-test-blobs.sh after changing it.
#include "ProfileWriter.h"

#include <cstdio>
#include <vector>

namespace {

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main()
{
    const std::vector<NgramCount> keys = {
        {u"a", 10}, {u"b", 5}, {u"ab", 3}, {u". ", 7}, {u" ", 12}};
    const std::vector<uint8_t> small =
        WriteBlob(PlaceKeys(keys, NextPrimeAbove(2 * int32_t(keys.size()))), 100);

    // The same blob with a wrong magic: rejected before anything is unpacked.
    std::vector<uint8_t> badMagic = small;
    badMagic[3] = 'X';

    return WriteFile("small.bin", small) && WriteFile("bad-magic.bin", badMagic) &&
                   WriteFile("empty.bin", {})
               ? 0
               : 1;
}
