// libFuzzer target: any byte string handed to the profile reader is either rejected or yields a
// table whose lookups end, without a crash, a hang or a leak. A table that loads is also scored
// through the merged index and through its own lookups, which must agree to the bit, and its records
// are formatted as a verdict (any counts, a negative one included, must give a defined verdict).
#include "LangIdentifier.h"
#include "NgramTable.h"
#include "Verdict.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// A text made of the table's first keys, so that scoring finds some, and of a few bytes of the
// input, so that it also meets n-grams no profile holds.
std::u16string TextFrom(const CNgramTable& table, const uint8_t* data, size_t size)
{
    std::u16string text;
    int keys = 0;
    for (size_t i = 0; i < table.KeyCount() && keys < 16; ++i) {
        for (char16_t unit : table.Key(i))
            if (text.size() < 400)
                text.push_back(unit);
        ++keys;
    }
    for (size_t i = 0; i < size && i < 32; ++i)
        if (data[i] != 0)
            text.push_back(char16_t(data[i]));
    return text;
}

void CompareScoringPaths(const uint8_t* data, size_t size, const std::u16string& text)
{
    // The same blob twice: keys shared by two profiles, in profile order.
    CLangIdentifier identifier;
    if (!identifier.LoadProfile(u"a", data, size) || !identifier.LoadProfile(u"b", data, size))
        __builtin_trap();
    identifier.BuildIndex();
    const LangScore* index = identifier.Identify(text.c_str());
    if (index == nullptr)
        return;
    const LangScore first[2] = {index[0], index[1]};
    std::u16string verdict;
    const bool named = FormatVerdict(index, identifier.GetProfileCount(), verdict);
    if (verdict.empty() || (named && !(first[0].score > 0.0)))
        __builtin_trap();
    auto expectFirst = [&first](const LangScore* records) {
        for (int i = 0; i < 2; ++i)
            if (records[i].name != first[i].name ||
                std::memcmp(&records[i].score, &first[i].score, sizeof(double)) != 0)
                __builtin_trap();
    };
    expectFirst(identifier.IdentifyByLookups(text.c_str()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CLangProfile profile;
    if (profile.Load(u"fuzz", data, size)) {
        int32_t count = 0;
        const CNgramTable& table = profile.Table();
        for (const char16_t* key : {u"a", u"the", u" ", u".", u"zz"})
            table.Lookup(key, &count);
        // A stored key's lookup, when it finds anything, stops at a key with the same units.
        for (size_t i = 0; i < table.KeyCount() && i < 64; ++i) {
            const ptrdiff_t found = table.Find(table.Key(i));
            if (found >= 0 && table.Key(size_t(found)) != table.Key(i))
                __builtin_trap();
        }
        CompareScoringPaths(data, size, TextFrom(table, data, size));
    }
    return 0;
}
