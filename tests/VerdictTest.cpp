#include "LangIdentifier.h"
#include "Verdict.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const char16_t kEnglish[] = u"英語 (English)";
const char16_t kNone[] = u"判定不能";

// The verdict for records named English, German, Dutch, then "L3", "L4", ... with `scores`; its
// text and whether a language was named.
std::pair<std::u16string, bool> Verdict(const std::vector<double>& scores)
{
    // Made once, so that the names' storage never moves.
    static const std::vector<std::u16string> names = [] {
        std::vector<std::u16string> all = {kEnglish, u"ドイツ語 (German)", u"オランダ語 (Dutch)"};
        for (int i = 3; i < 64; ++i)
            all.push_back(u"L" + std::u16string(1, char16_t(u'0' + i % 10)));
        return all;
    }();
    std::vector<LangScore> records;
    for (size_t i = 0; i < scores.size(); ++i)
        records.push_back({names[i].c_str(), scores[i]});
    std::u16string text;
    const bool named = FormatVerdict(records.data(), int(records.size()), text);
    return {text, named};
}

}  // namespace

TEST(FormatVerdict, NamesTheLeaderListsCloseRunnersUpAndGivesUpOnAFourWayTie)
{
    const struct
    {
        std::vector<double> scores;
        std::u16string text;  // kNone: nothing named
    } cases[] = {
        {{1.0, 0.5, 0.4, 0.3}, kEnglish},  // a clear leader alone
        {{1.0, 0.95, 0.93, 0.85, 0.5}, u"英語 (English)[100] か ドイツ語 (German)[95] か オランダ語 (Dutch)[93]"},
        // 1.0 - 0.9 is 0.09999999999999998, not above 0.1: listed, as 90.
        {{1.0, 0.9, 0.2, 0.1}, u"英語 (English)[100] か ドイツ語 (German)[90]"},
        {{1.0, 0.8999, 0.2, 0.1}, kEnglish},
        // 1.0 - 0.99 is 0.010000000000000009: not below the tie margin, so a verdict is given.
        {{1.0, 0.995, 0.99, 0.99, 0.5}, u"英語 (English)[100] か ドイツ語 (German)[100] か オランダ語 (Dutch)[99] か L3[99]"},
        {{1.0, 0.995, 0.991, 0.991, 0.5}, kNone},
        {{0.0, 0.0, 0.0, 0.0}, kNone},
        // Percentages round in double.
        {{1.0, 0.945, 0.2, 0.1}, u"英語 (English)[100] か ドイツ語 (German)[95]"},
        {{1.0, 0.9049, 0.2, 0.1}, u"英語 (English)[100] か ドイツ語 (German)[90]"},
        // Fewer than four records: a missing one counts as a language that matched nothing.
        {{1.0}, kEnglish},
        {{1.0, 0.95}, u"英語 (English)[100] か ドイツ語 (German)[95]"},
        {{0.0, 0.0}, kNone},
        // No positive score (profiles with negative counts): left unscaled, nothing named, however
        // far apart; and a best far out of range still formats a defined percentage.
        {{-0.5, -30.0, -40.0, -50.0}, kNone},
        {{0.0, -1e6, -1e6, -1e6}, kNone},
        {{3e9, 3e9, 0.0, 0.0}, u"英語 (English)[1000000000] か ドイツ語 (German)[1000000000]"},
    };
    for (const auto& c : cases) {
        const auto [text, named] = Verdict(c.scores);
        EXPECT_EQ(text, c.text) << testing::PrintToString(c.scores);
        EXPECT_EQ(named, c.text != kNone) << testing::PrintToString(c.scores);
    }
}

TEST(FormatVerdict, StopsAppendingOnceTheTextPassesTheCap)
{
    // 42 languages all within 0.1: the text grows until it first exceeds 224 units.
    std::vector<double> scores(42, 0.95);
    scores[0] = 1.0;
    const auto [text, named] = Verdict(scores);
    EXPECT_TRUE(named);
    EXPECT_GT(text.size(), 224u);
    EXPECT_LE(text.rfind(u" か "), 224u);  // the last runner-up appended crossed the cap
}
