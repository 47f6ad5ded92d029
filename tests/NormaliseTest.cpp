#include "Normalise.h"

#include <gtest/gtest.h>

namespace {

std::u16string Normalised(const std::u16string& text)
{
    size_t length = 0;
    const std::unique_ptr<char16_t[]> out = NormaliseText(text.c_str(), &length);
    const std::u16string result(out.get());
    EXPECT_EQ(result.size(), length);
    EXPECT_GE(length, 2u);
    EXPECT_LE(length, text.size() + 2);
    return result;
}

}  // namespace

TEST(NormaliseText, MarkerLineBreaksAndRuns)
{
    EXPECT_EQ(Normalised(u""), u". ");
    EXPECT_EQ(Normalised(u"Hello"), u". Hello");
    EXPECT_EQ(Normalised(u"  Hi\r\n\r\nthere!!!  "), u". Hi there. ");
    EXPECT_EQ(Normalised(u"?!Why"), u". .Why");
    EXPECT_EQ(Normalised(u"end.\nNext"), u". end. Next");
    EXPECT_EQ(Normalised(u"\n\r \n"), u". ");
    EXPECT_EQ(Normalised(u"a.?!.b"), u". a.b");
}

TEST(NormaliseText, OnlyIdenticalNeighboursCollapse)
{
    EXPECT_EQ(Normalised(u"x . . y"), u". x . . y");
    EXPECT_EQ(Normalised(u"a. . b"), u". a. . b");
    EXPECT_EQ(Normalised(u"a .b"), u". a .b");
}

TEST(NormaliseText, OtherUnitsPassUnchanged)
{
    EXPECT_EQ(Normalised(u"a\t\tb"), u". a\t\tb");
    const std::u16string others = u"\u00A0\u00A0\u3000\u3000\u3002\u3002\uFF01\uFF01\uFF1F\uFF1FA";
    EXPECT_EQ(Normalised(others), u". " + others);
    // Surrogate halves, paired or not, are ordinary units.
    const std::u16string surrogates = u"\U0001F600\xD800 \xDC00";
    EXPECT_EQ(Normalised(surrogates), u". " + surrogates);
}
