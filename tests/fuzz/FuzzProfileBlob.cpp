// libFuzzer target: any byte string handed to the profile reader is either rejected or yields a
// table whose lookups end, without a crash, a hang or a leak.
#include "NgramTable.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CLangProfile profile;
    if (profile.Load(u"fuzz", data, size)) {
        int32_t count = 0;
        const CNgramTable& table = profile.m_table;
        for (const char16_t* key : {u"a", u"the", u" ", u".", u"zz"})
            table.Lookup(key, &count);
        for (int32_t i = 0; i < table.m_slotCount && i < 64; ++i)
            if (table.m_slots[i].key != nullptr)
                table.Lookup(table.m_slots[i].key, &count);
    }
    return 0;
}
