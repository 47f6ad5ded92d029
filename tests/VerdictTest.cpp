#include "LangIdentifier.h"
#include "Verdict.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const char16_t* kEnglish = u"英語 (English)";
const char16_t* kGerman = u"ドイツ語 (German)";
const char16_t* kDutch = u"オランダ語 (Dutch)";

struct Outcome
{
    bool named;
    std::u16string text;
};

// Scores for the names English, German, Dutch, then "L3", "L4", ... as needed.
Outcome Verdict(const std::vector<double>& scores)
{
    // Names of the further records, made once so that their storage never moves.
    static const std::vector<std::u16string> extra = [] {
        std::vector<std::u16string> names;
        for (int i = 0; i < 64; ++i)
            names.push_back(u"L" + std::u16string(1, char16_t(u'0' + i % 10)));
        return names;
    }();
    std::vector<LangScore> records;
    for (size_t i = 0; i < scores.size(); ++i) {
        const char16_t* name = i == 0 ? kEnglish : i == 1 ? kGerman : i == 2 ? kDutch : nullptr;
        if (name == nullptr)
            name = extra[i].c_str();
        records.push_back({name, scores[i]});
    }
    Outcome outcome;
    outcome.named = FormatVerdict(records.data(), int(records.size()), outcome.text);
    return outcome;
}

}  // namespace

TEST(FormatVerdict, ClearLeaderIsNamedAlone)
{
    const Outcome o = Verdict({1.0, 0.5, 0.4, 0.3});
    EXPECT_TRUE(o.named);
    EXPECT_EQ(o.text, kEnglish);
}

TEST(FormatVerdict, CloseRunnersUpAreListedWithPercentages)
{
    Outcome o = Verdict({1.0, 0.95, 0.93, 0.85, 0.5});
    EXPECT_TRUE(o.named);
    EXPECT_EQ(o.text, u"英語 (English)[100] か ドイツ語 (German)[95] か オランダ語 (Dutch)[93]");
    // 1.0 - 0.9 is 0.09999999999999998, not above 0.1: listed, as 90.
    o = Verdict({1.0, 0.9, 0.2, 0.1});
    EXPECT_EQ(o.text, u"英語 (English)[100] か ドイツ語 (German)[90]");
    o = Verdict({1.0, 0.8999, 0.2, 0.1});
    EXPECT_EQ(o.text, kEnglish);
}

TEST(FormatVerdict, FourWayTieCannotIdentify)
{
    // 1.0 - 0.99 is 0.010000000000000009: not below the margin, so a verdict is given.
    Outcome o = Verdict({1.0, 0.995, 0.99, 0.99, 0.5});
    EXPECT_TRUE(o.named);
    EXPECT_EQ(o.text, u"英語 (English)[100] か ドイツ語 (German)[100] か オランダ語 (Dutch)[99] か L3[99]");
    o = Verdict({1.0, 0.995, 0.991, 0.991, 0.5});
    EXPECT_FALSE(o.named);
    EXPECT_EQ(o.text, u"判定不能");
    o = Verdict({0.0, 0.0, 0.0, 0.0});
    EXPECT_FALSE(o.named);
    EXPECT_EQ(o.text, u"判定不能");

    std::u16string text = u"stale";
    EXPECT_FALSE(FormatVerdict(nullptr, 42, text));
    EXPECT_EQ(text, u"判定不能");
}

TEST(FormatVerdict, PercentagesRoundInDouble)
{
    EXPECT_EQ(Verdict({1.0, 0.995, 0.2, 0.1}).text, u"英語 (English)[100] か ドイツ語 (German)[100]");
    EXPECT_EQ(Verdict({1.0, 0.945, 0.2, 0.1}).text, u"英語 (English)[100] か ドイツ語 (German)[95]");
    EXPECT_EQ(Verdict({1.0, 0.9049, 0.2, 0.1}).text, u"英語 (English)[100] か ドイツ語 (German)[90]");
}

TEST(FormatVerdict, StopsAppendingOnceTheTextPassesTheCap)
{
    // 42 languages all within 0.1: the text grows until it first exceeds 224 units.
    std::vector<double> scores(42, 0.95);
    scores[0] = 1.0;
    const Outcome o = Verdict(scores);
    EXPECT_TRUE(o.named);
    EXPECT_GT(o.text.size(), 224u);
    EXPECT_LE(o.text.size(), 252u);
    // The last runner-up appended was the one that crossed the cap.
    const size_t lastStart = o.text.rfind(u" か ");
    EXPECT_LE(lastStart, 224u);
}

TEST(FormatVerdict, FewerThanFourRecordsReadNothingMissing)
{
    // A missing record counts as a language that matched nothing.
    Outcome o = Verdict({1.0});
    EXPECT_TRUE(o.named);
    EXPECT_EQ(o.text, kEnglish);
    o = Verdict({1.0, 0.95});
    EXPECT_TRUE(o.named);
    EXPECT_EQ(o.text, u"英語 (English)[100] か ドイツ語 (German)[95]");
    o = Verdict({0.0, 0.0});
    EXPECT_FALSE(o.named);
    EXPECT_EQ(o.text, u"判定不能");
}
