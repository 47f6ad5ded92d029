// Loading the catalogue from a folder: only regular files within the size limit are read, every row
// that does not load is named with its reason, and the rows that do load answer, in table order.
#include "ProfileFolder.h"
#include "ProfileFormat.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

int Row(const char16_t* resourceName)
{
    for (int language = 0; language < kLanguageCount; ++language)
        if (std::u16string(LanguageTable[language].resourceName) == resourceName)
            return language;
    return -1;
}

// A text only the blob of its row knows: one letter of its own.
std::u16string OwnText(int language)
{
    return std::u16string(1, char16_t(0x4E00 + language));
}

class ProfileFolder : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = testing::TempDir() + "tm_profile_folder";
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }

    void TearDown() override { fs::remove_all(m_dir); }

    static void Write(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
    }

    static void WriteOfSize(const std::string& path, uintmax_t size)
    {
        Write(path, {});
        fs::resize_file(path, size);
    }

    std::string m_dir;
};

}  // namespace

// Whole, up to the limit, also through a link. (One byte more, nothing and a folder: the next test;
// pipes, devices and read errors: tests/tools/identify_cli.py, through tm-identify.)
TEST_F(ProfileFolder, ReadsRegularFilesWholeUpToTheLimit)
{
    const std::vector<uint8_t> blob = MakeBlob({{u"a", 1}}, 1);
    const std::string regular = m_dir + "/regular";
    Write(regular, blob);
    const struct
    {
        const char* name;
        std::function<void(const std::string&)> make;
        size_t size;
    } cases[] = {
        {"a blob", [&](const std::string& p) { Write(p, blob); }, blob.size()},
        {"an empty file", [&](const std::string& p) { Write(p, {}); }, 0},
        {"the largest", [&](const std::string& p) { WriteOfSize(p, kMaxBlobBytes); }, kMaxBlobBytes},
#ifndef _WIN32
        {"a link to a blob", [&](const std::string& p) { fs::create_symlink(regular, p); }, blob.size()},
#endif
    };
    int number = 0;
    for (const auto& c : cases) {
        const std::string path = m_dir + "/case" + std::to_string(++number);
        c.make(path);
        std::vector<uint8_t> bytes = {1, 2, 3};
        EXPECT_STREQ(DescribeProfileError(ProfileError::None), DescribeProfileError(ReadBlobFile(path, bytes))) << c.name;
        EXPECT_EQ(c.size, bytes.size()) << c.name;
    }
}

TEST_F(ProfileFolder, RowsThatFailAreNamedAndTheOthersAnswerInTableOrder)
{
    size_t written = 0;
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<uint8_t> blob = MakeBlob({{OwnText(language), 1}}, 1);
        Write(BlobPath(m_dir, language), blob);
        written += blob.size();
    }
    auto spoil = [&](const char16_t* name, const std::function<void(const std::string&)>& how) {
        const std::string path = BlobPath(m_dir, Row(name));
        written -= size_t(fs::file_size(path));
        fs::remove(path);
        how(path);
    };
    spoil(u"DANISH", [](const std::string&) {});
    spoil(u"ENGLISH", [](const std::string& p) { fs::create_directory(p); });
    spoil(u"GERMAN", [](const std::string& p) { WriteOfSize(p, kMaxBlobBytes + 1); });
    spoil(u"WELSH", [](const std::string& p) { Write(p, {'L', 'A', 'N', 'G'}); });

    CProfileCatalogue catalogue;
    ASSERT_TRUE(catalogue.Load(m_dir));
    EXPECT_EQ("missing: DANISH; not a regular file: ENGLISH; too large: GERMAN; rejected by the reader: WELSH",
              DescribeFailures(catalogue.Failures()));
    ASSERT_EQ(4u, catalogue.Failures().size());
    EXPECT_EQ(Row(u"DANISH"), catalogue.Failures()[0].language);
    EXPECT_EQ(written, catalogue.BlobBytes());

    CLangIdentifier& identifier = catalogue.Identifier();
    ASSERT_EQ(kLanguageCount - 4, identifier.GetProfileCount());
    for (int profile = 0; profile < identifier.GetProfileCount(); ++profile) {
        const int language = catalogue.LanguageOf(profile);
        EXPECT_LT(profile == 0 ? -1 : catalogue.LanguageOf(profile - 1), language);
        const LangScore* results = identifier.Identify(OwnText(language).c_str());
        ASSERT_NE(nullptr, results);
        EXPECT_EQ(std::u16string(LanguageTable[language].displayName), results[0].name);
        EXPECT_EQ(1.0, results[0].score);
        EXPECT_EQ(0.0, results[1].score);
    }
}
