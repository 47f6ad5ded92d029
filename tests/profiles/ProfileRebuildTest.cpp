// The committed profiles: every blob is accepted and consistent, identifies plain text of its
// language, and is exactly what the builder makes of the corpus (skipped where the corpus is absent).
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "Normalise.h"
#include "ProfileBuilder.h"
#include "ProfileCatalogue.h"
#include "Utf8.h"
#include "Verdict.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadBlob(int language)
{
    std::vector<uint8_t> blob;
    ReadBlobFile(BlobPath(TM_PROFILE_DIR, language), blob);
    return blob;
}

bool CorpusPresent()
{
    std::ifstream probe(std::string(TM_CORPUS_DIR) + "/ENGLISH.txt");
    return bool(probe);
}

TEST(CommittedProfiles, EveryBlobLoadsAndFindsEachOfItsKeys)
{
    size_t totalBytes = 0;
    for (int language = 0; language < kLanguageCount; ++language) {
        SCOPED_TRACE(ResourceName(language));
        const std::vector<uint8_t> blob = ReadBlob(language);
        ASSERT_FALSE(blob.empty());
        totalBytes += blob.size();
        CNgramTable table;
        ASSERT_TRUE(table.Load(blob.data(), blob.size()));

        // Every key is reachable by a probe from its start slot (the placement rule), keys are
        // 1 to 5 units, empty slots hold 0, and at least one slot is empty.
        int empty = 0;
        for (int i = 0; i < table.m_slotCount; ++i) {
            const NgramSlot& slot = table.m_slots[i];
            if (slot.key == nullptr) {
                ++empty;
                EXPECT_EQ(slot.count, 0);
                continue;
            }
            const size_t length = std::char_traits<char16_t>::length(slot.key);
            EXPECT_GE(length, 1u);
            EXPECT_LE(length, 5u);
            EXPECT_GT(slot.count, 0);
            int32_t count = -1;
            ASSERT_TRUE(table.Lookup(slot.key, &count));
            EXPECT_EQ(count, slot.count);
        }
        EXPECT_GT(empty, 0);
    }
    EXPECT_LE(totalBytes, 12u * 1000 * 1000);
}

TEST(CommittedProfiles, IdentifyEverydaySentences)
{
    CProfileCatalogue catalogue;
    catalogue.Load(TM_PROFILE_DIR);
    ASSERT_EQ("", DescribeFailures(catalogue.Failures()));
    CLangIdentifier& identifier = catalogue.Identifier();
    const struct {
        const char16_t* text;
        const char16_t* verdict;
    } cases[] = {
        {u"The quick brown fox jumps over the lazy dog.", u"英語 (English)"},
        {u"Die Datei konnte nicht gespeichert werden.", u"ドイツ語 (German)"},
        {u"Impossible d'ouvrir le fichier demandé.", u"フランス語 (French)"},
        {u"Не удалось открыть файл.", u"ロシア語 (Russian)"},
        {u"ファイルを開けませんでした。", u"日本語 (Japanese)"},
        {u"Η εκτύπωση ολοκληρώθηκε με επιτυχία.", u"ギリシア語 (Greek)"},
        {u"파일을 열 수 없습니다.", u"朝鮮語 (Korean)"},
        {u"Nie można otworzyć pliku.", u"ポーランド語 (Polish)"},
        // Typed in capitals, and with a URL and numbers around the words.
        {u"DIE DATEI KONNTE NICHT GESPEICHERT WERDEN.", u"ドイツ語 (German)"},
        {u"НЕ УДАЛОСЬ ОТКРЫТЬ ФАЙЛ.", u"ロシア語 (Russian)"},
        {u"NO SE PUDO GUARDAR EL ARCHIVO.", u"スペイン語 (Spanish)"},
        {u"Weitere Informationen finden Sie unter https://www.example.com/hilfe.",
         u"ドイツ語 (German)"},
        {u"Price: 12.50 EUR (incl. 19% VAT), order #4711.", u"英語 (English)"},
    };
    std::u16string verdict;
    for (const auto& c : cases) {
        const LangScore* results = identifier.Identify(c.text);
        ASSERT_TRUE(FormatVerdict(results, identifier.GetProfileCount(), verdict));
        EXPECT_EQ(std::u16string(results[0].name), std::u16string(c.verdict));
    }
}

TEST(ProfileBuilder, DevelopmentSplitHoldsOutEveryTenthBlock)
{
    const size_t lines = 4000;
    size_t held = 0;
    for (size_t i = 0; i < lines; ++i)
        held += IsDevelopmentLine(i, lines) ? 1 : 0;
    EXPECT_EQ(held, 400u);
    EXPECT_FALSE(IsDevelopmentLine(699, lines));
    EXPECT_TRUE(IsDevelopmentLine(700, lines));
    EXPECT_TRUE(IsDevelopmentLine(799, lines));
    EXPECT_FALSE(IsDevelopmentLine(800, lines));
    EXPECT_FALSE(IsDevelopmentLine(0, 1));  // a one-line file keeps its line for training
}

TEST(ProfileBuilder, CapitalsMapOneUnitToOne)
{
    EXPECT_EQ(ToCapitals(u"Grüße, café!", false), u"GRÜßE, CAFÉ!");  // ß has no one-unit capital
    EXPECT_EQ(ToCapitals(u"istanbul ılık", true), u"İSTANBUL ILIK");
    EXPECT_EQ(ToCapitals(u"istanbul", false), u"ISTANBUL");
    EXPECT_EQ(ToCapitals(u"λόγος ής", false), u"ΛΌΓΟΣ ΉΣ");
    EXPECT_EQ(ToCapitals(u"ёжик їжак ґанок", false), u"ЁЖИК ЇЖАК ҐАНОК");
    EXPECT_EQ(ToCapitals(u"șțăâî łźżčř", false), u"ȘȚĂÂÎ ŁŹŻČŘ");
    EXPECT_EQ(ToCapitals(u"tiếng việt ơư đ", false), u"TIẾNG VIỆT ƠƯ Đ");
    EXPECT_EQ(ToCapitals(u"中文 123 ÿ", false), u"中文 123 Ÿ");
}

TEST(ProfileBuilder, CorpusFilesDecodeAsUtf16Lines)
{
    const std::string path = testing::TempDir() + "tm_corpus_decode.txt";
    {
        std::ofstream file(path, std::ios::binary);
        // "a", CR LF, "é", LF, a stray continuation byte, "x", U+1F600, no final LF.
        file << "a\r\n\xC3\xA9\n\x80x\xF0\x9F\x98\x80";
    }
    std::vector<std::u16string> lines;
    ASSERT_TRUE(ReadCorpusFile(path, lines));
    std::remove(path.c_str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"a");
    EXPECT_EQ(lines[1], u"é");
    EXPECT_EQ(lines[2], std::u16string(u"\uFFFDx") + char16_t(0xD83D) + char16_t(0xDE00));
    EXPECT_FALSE(ReadCorpusFile(path, lines));
}

// A corpus of 42 small files: every language says "common words " and a word of its own; English
// also says "qwert" on its training lines and "xyzzy" only on its development lines.
class SmallCorpus : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = testing::TempDir() + "tm_small_corpus";
        std::filesystem::create_directories(m_dir);
        for (int language = 0; language < kLanguageCount; ++language) {
            std::ofstream file(m_dir + "/" + ResourceName(language) + ".txt", std::ios::binary);
            for (size_t i = 0; i < kLines; ++i)
                file << EncodeUtf8(LineOf(language, i)) << "\n";
        }
    }

    static std::u16string LineOf(int language, size_t i)
    {
        std::u16string line = u"common words " + std::u16string(3, char16_t(0x4E00 + language));
        if (ResourceName(language) == "ENGLISH")
            line += IsDevelopmentLine(i, kLines) ? u" xyzzy xyzzy xyzzy" : u" qwert";
        return line;
    }

    static const size_t kLines = 40;
    std::string m_dir;
};

TEST_F(SmallCorpus, KeysCountsAndTotalFollowTheTrainingText)
{
    BuildRecipe recipe;
    recipe.bonusScale = 0;  // plain occurrence counts
    recipe.ordinaryKeys = 200;
    recipe.capitalKeys = 50;
    recipe.capitalEvery = 2;
    recipe.sharedLimit = 10;
    recipe.minCount = 1;
    recipe.shares.clear();
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    ASSERT_TRUE(BuildProfiles(m_dir, recipe, 2, blobs, error)) << error;

    int english = -1;
    for (int language = 0; language < kLanguageCount; ++language) {
        CNgramTable table;
        ASSERT_TRUE(table.Load(blobs[language].data(), blobs[language].size()));
        int32_t count = 0;
        // Held by every language's top set: left out everywhere.
        EXPECT_FALSE(table.Lookup(u"commo", &count));
        EXPECT_FALSE(table.Lookup(u"words", &count));
        // Each language keeps its own word.
        const std::u16string own(3, char16_t(0x4E00 + language));
        EXPECT_TRUE(table.Lookup(own.c_str(), &count));
        if (ResourceName(language) == "ENGLISH")
            english = language;
    }
    ASSERT_GE(english, 0);

    CNgramTable table;
    ASSERT_TRUE(table.Load(blobs[english].data(), blobs[english].size()));
    int32_t count = 0;
    // 36 training lines hold "qwert" once; development lines never reach a profile.
    ASSERT_TRUE(table.Lookup(u"qwert", &count));
    EXPECT_EQ(count, 36);
    EXPECT_FALSE(table.Lookup(u"xyzz", &count));
    // Every second training line also enters in capitals.
    ASSERT_TRUE(table.Lookup(u"QWERT", &count));
    EXPECT_EQ(count, 18);

    // The total is the number of units of the prepared training text, copies included.
    int64_t total = 0;
    size_t trainingLine = 0;
    for (size_t i = 0; i < kLines; ++i) {
        if (IsDevelopmentLine(i, kLines))
            continue;
        size_t length = 0;
        NormaliseText(LineOf(english, i).c_str(), &length);
        total += int64_t(length) * ((++trainingLine % 2 == 0) ? 2 : 1);
    }
    EXPECT_EQ(table.m_totalCount, total);
}

TEST_F(SmallCorpus, DistinctKeysCarryABonus)
{
    BuildRecipe recipe;
    recipe.ordinaryKeys = 200;
    recipe.capitalKeys = 0;
    recipe.sharedLimit = 0;  // keep the keys every language uses alike
    recipe.minCount = 1;
    recipe.shares.clear();
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    ASSERT_TRUE(BuildProfiles(m_dir, recipe, 2, blobs, error)) << error;

    int english = 0;
    while (ResourceName(english) != "ENGLISH")
        ++english;
    CNgramTable table;
    ASSERT_TRUE(table.Load(blobs[english].data(), blobs[english].size()));
    auto fraction = [&](const char16_t* key) {
        int32_t count = 0;
        EXPECT_TRUE(table.Lookup(key, &count));
        return double(count) / double(table.m_totalCount);
    };
    // "commo" is as frequent in every language: its own frequency only, below 1. "qwert" only
    // English uses: ten times the log of how much more often, on top.
    EXPECT_GT(fraction(u"commo"), 0.0);
    EXPECT_LT(fraction(u"commo"), 0.1);
    EXPECT_GT(fraction(u"qwert"), 10.0);
}

TEST_F(SmallCorpus, MissingFileIsReported)
{
    std::remove((m_dir + "/WELSH.txt").c_str());
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    EXPECT_FALSE(BuildProfiles(m_dir, BuildRecipe(), 1, blobs, error));
    EXPECT_NE(error.find("WELSH.txt"), std::string::npos);
}

TEST(ProfileBuilder, RebuildsTheCommittedBlobsByteForByte)
{
    if (!CorpusPresent())
        GTEST_SKIP() << "training corpus not found at " << TM_CORPUS_DIR
                     << " (set TM_CORPUS_DIR to check the committed profiles against it)";
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    ASSERT_TRUE(BuildProfiles(TM_CORPUS_DIR, BuildRecipe(), 2, blobs, error)) << error;
    ASSERT_EQ(blobs.size(), size_t(kLanguageCount));
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<uint8_t> committed = ReadBlob(language);
        const std::vector<uint8_t>& built = blobs[language];
        size_t first = 0;
        while (first < committed.size() && first < built.size() && committed[first] == built[first])
            ++first;
        EXPECT_TRUE(committed == built)
            << ResourceName(language) << ".bin differs from the rebuilt blob at byte " << first
            << " (committed " << committed.size() << " bytes, rebuilt " << built.size()
            << "); run tm-build-profiles to update the profiles";
    }
}

}  // namespace
