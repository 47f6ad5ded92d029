#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "ProfileFolder.h"
#include "Sections.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Runs = std::vector<std::pair<std::string, size_t>>;  // language names and starts

// The runs as named by `nameOf`, after checking that they cover the text back to back.
Runs Describe(const std::vector<LanguageRun>& runs, size_t length, const std::function<std::string(int)>& nameOf)
{
    Runs described;
    size_t at = 0;
    for (const LanguageRun& run : runs) {
        EXPECT_EQ(run.start, at);
        EXPECT_LT(run.start, run.end);
        at = run.end;
        described.emplace_back(run.profile == kUnknownLanguage ? "UNKNOWN" : nameOf(run.profile), run.start);
    }
    EXPECT_EQ(at, length);
    return described;
}

const std::u16string kEnglish =
    u"The weather was cold this morning, so we stayed inside and read books by the fire. In the "
    u"afternoon the sun came out and the children went down to the river to play. Everyone was tired "
    u"but happy when they came home for dinner.";
const std::u16string kGerman =
    u"Am nächsten Tag fuhren wir mit dem Zug in die Stadt. Dort besuchten wir das Museum und aßen in "
    u"einem kleinen Restaurant am Marktplatz. Abends kehrten wir müde, aber zufrieden nach Hause zurück.";
const std::u16string kFrench =
    u"Ma grand-mère nous a raconté en souriant qu'elle avait appris à nager dans cette même rivière "
    u"quand elle était petite.";
const std::u16string kDanish =
    u"I går aftes spiste vi middag hos mine forældre, og bagefter gik vi en lang tur langs stranden. "
    u"Det blæste meget, men solen skinnede, og børnene legede i sandet. Vi kom først hjem ved "
    u"titiden, og alle var trætte.";
const std::u16string kNorwegian =
    u"I dag har jeg vært på jobb hele dagen, og nå er jeg veldig sliten. Etter middag skal jeg gå en "
    u"tur i skogen med hunden. Jeg håper at det ikke begynner å regne før vi kommer hjem igjen.";
const std::u16string kSpanish =
    u"Ayer por la tarde fuimos al mercado para comprar fruta y verduras. Después nos sentamos en una "
    u"terraza de la plaza y tomamos un café con unos amigos. Volvimos a casa muy tarde porque hacía "
    u"buen tiempo.";
const std::u16string kCatalan =
    u"Aquest matí hem anat a la platja amb els nens i ens hem banyat una estona. Després hem dinat en "
    u"un restaurant petit del port, on fan un peix boníssim. A la tarda hem tornat a casa caminant per "
    u"la vora del mar.";
const std::u16string kJapanese = u"昨日は友達と一緒に京都へ行きました。お寺を見て、おいしい料理を食べました。";

}  // namespace

TEST(FindLanguageRuns, RunsFollowTheLanguagesOfTheText)
{
    CProfileCatalogue catalogue;
    ASSERT_TRUE(catalogue.Load(TM_PROFILE_DIR));
    catalogue.Identifier().BuildIndex();
    const auto resourceName = [&catalogue](int profile) {
        const std::u16string_view name = LanguageTable[catalogue.LanguageOf(profile)].resourceName;
        return std::string(name.begin(), name.end());
    };
    const std::u16string sentences = kEnglish.substr(0, kEnglish.find(u"Everyone"));
    const std::u16string digits = u"1234 5678 90.12 3456 7890 (1234) 5678 9012 3456 - 7890 1234 "
                                  u"5678 9012 3456 7890 1234 5678 9012 3456 7890 1234 5678 9012";
    const struct
    {
        const char* what;
        std::u16string text;
        std::vector<std::pair<std::string, std::u16string>> runs;  // languages and the text each starts with
    } cases[] = {
        {"one language", kEnglish, {{"ENGLISH", u""}}},
        {"two by paragraph", kEnglish + u"\n\n" + kGerman, {{"ENGLISH", u""}, {"GERMAN", u"Am "}}},
        {"one sentence inserted", sentences + kFrench + u" " + kEnglish.substr(kEnglish.find(u"Everyone")),
         {{"ENGLISH", u""}, {"FRENCH", u"Ma grand"}, {"ENGLISH", u"Everyone"}}},
        {"Danish, then Norwegian", kDanish + u"\n" + kNorwegian, {{"DANISH", u""}, {"NORWEGIAN", u"I dag"}}},
        {"Spanish, then Catalan", kSpanish + u" " + kCatalan, {{"SPANISH", u""}, {"CATALAN", u"Aquest"}}},
        {"a change of script without a space", kJapanese.substr(0, kJapanese.size() - 1) + kEnglish,
         {{"JAPANESE", u""}, {"ENGLISH", u"The weather"}}},
        {"a short line without letters joins a run", kEnglish + u"\n\n12.5 - 2024-01-01 (42)\n\n" + kGerman,
         {{"ENGLISH", u""}, {"GERMAN", u"Am "}}},
        {"a long stretch without letters is unknown", kEnglish + u"\n" + digits + u"\n" + kGerman,
         {{"ENGLISH", u""}, {"UNKNOWN", u"1234"}, {"GERMAN", u"Am "}}},
        {"nothing but digits", digits, {{"UNKNOWN", u""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Runs wanted;
        for (const auto& [language, startsWith] : c.runs) {
            wanted.emplace_back(language, c.text.find(startsWith));
            ASSERT_NE(wanted.back().second, std::u16string::npos);
        }
        const auto runs = FindLanguageRuns(catalogue.Identifier(), c.text.c_str(), c.text.size());
        EXPECT_EQ(Describe(runs, c.text.size(), resourceName), wanted);
    }
}

namespace {

// Two alphabetic languages, one knowing only "a" and its n-grams, one only "b".
void AddLetterProfiles(CLangIdentifier& identifier)
{
    for (const char16_t* name : {u"a", u"b"}) {
        const char16_t c = name[0];
        std::vector<NgramCount> keys;
        for (size_t n = 1; n <= 5; ++n)
            keys.push_back({std::u16string(n, c), 10});
        keys.push_back({std::u16string(1, c) + u" ", 10});
        keys.push_back({u" " + std::u16string(1, c), 10});
        const std::vector<uint8_t> blob = MakeBlob(keys, 100, 31);
        ASSERT_TRUE(identifier.LoadProfile(name, blob.data(), blob.size()));
    }
    identifier.BuildIndex();
}

std::string SyntheticName(int profile)
{
    return profile == 0 ? "a" : "b";
}

std::u16string Words(char16_t letter, int count)
{
    std::u16string text;
    for (int i = 0; i < count; ++i)
        text += std::u16string(4, letter) + u" ";
    return text;
}

}  // namespace

TEST(FindLanguageRuns, NoRunWithoutTextOrProfilesAndALongRunChangesOnlyWhereTheEvidenceDoes)
{
    CLangIdentifier identifier;
    EXPECT_TRUE(FindLanguageRuns(identifier, u"aaaa", 4).empty());
    AddLetterProfiles(identifier);
    EXPECT_TRUE(FindLanguageRuns(identifier, u"", 0).empty());
    EXPECT_TRUE(FindLanguageRuns(identifier, u"\0aaaa", 5).empty());
    const std::vector<LanguageRun> cut = FindLanguageRuns(identifier, u"aaaa\0bbbb", 9);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].end, 4u);

    // No sentence end, no line break, one script: the text is cut into parts of about a line, and
    // the change falls on the part boundary nearest the change of words.
    const std::u16string text = Words(u'a', 100) + Words(u'b', 100);
    const std::vector<LanguageRun> runs = FindLanguageRuns(identifier, text.c_str(), text.size());
    const auto described = Describe(runs, text.size(), SyntheticName);
    ASSERT_EQ(described.size(), 2u);
    EXPECT_EQ(described[0].first, "a");
    EXPECT_EQ(described[1].first, "b");
    EXPECT_NEAR(double(described[1].second), 500.0, 80.0);

    // A sentence of two words of the other language in a long run is not worth a change.
    const std::u16string insert = Words(u'a', 50) + u". " + Words(u'b', 2) + u". " + Words(u'a', 50);
    const std::vector<LanguageRun> one = FindLanguageRuns(identifier, insert.c_str(), insert.size());
    EXPECT_EQ(Describe(one, insert.size(), SyntheticName), (Runs{{"a", 0}}));
}
