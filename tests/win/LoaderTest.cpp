// Loading the catalogue's profiles from resources: every row tried, one warning for any failure.
// The modules: this test program (the program's own 42 profile resources) and three resource DLLs
// built beside it (tests/win/CMakeLists.txt): ENGLISH missing, AFRIKAANS with a wrong magic, and
// every row failing.
#include "LanguageTable.h"
#include "ResourceBlob.h"
#include "NgramTable.h"
#include "ProfileWriter.h"
#include "Strings.h"
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring Name(const char16_t* text)
{
    return AsWide(text);
}

// The application object with a stand-in main window and result label, loading from `module`.
class LoaderTest : public testing::Test
{
protected:
    LoaderTest() : m_window(50, 50, 400, 160, true), m_app(GetModuleHandleW(nullptr))
    {
        m_app.m_hWnd = m_window.m_hWnd;
        m_app.m_hResult = m_window.m_hLabel;
    }
    ~LoaderTest() override
    {
        if (m_hModule != nullptr)
            FreeLibrary(m_hModule);
    }

    void UseModule(const wchar_t* dll)
    {
        m_hModule = LoadLibraryW((TestProgramFolder() + dll).c_str());
        ASSERT_NE(nullptr, m_hModule) << "missing " << dll;
        m_app.m_hInstance = m_hModule;
    }

    // The profiles' display names, in list order.
    std::vector<std::wstring> LoadedNames() const
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < m_app.m_identifier.GetProfileCount(); ++i)
            names.push_back(Name(m_app.m_identifier.GetProfile(i)->m_displayName));
        return names;
    }

    // Catalogue names, in table order, without the row named `skipped`.
    static std::vector<std::wstring> CatalogueNamesWithout(const char16_t* skipped)
    {
        std::vector<std::wstring> names;
        for (const LanguageRow& row : LanguageTable)
            if (std::u16string(row.resourceName) != skipped)
                names.push_back(Name(row.displayName));
        return names;
    }

    // One warning box, owned by the main window, shown while the label said it was initialising;
    // the label ends on the error text.
    void ExpectOneWarning(const CMessageBoxWatcher& watcher)
    {
        ASSERT_EQ(1, watcher.m_seenCount);
        EXPECT_STREQ(TM_TEXT_LOAD_WARNING, watcher.m_seen[0].text);
        EXPECT_EQ(m_window.m_hWnd, watcher.m_seen[0].owner);
        EXPECT_EQ(LoadIconW(nullptr, IDI_WARNING), watcher.m_seen[0].icon);
        EXPECT_FALSE(watcher.m_seen[0].hasCancel);  // OK only
        EXPECT_NE(L'\0', watcher.m_seen[0].caption[0]);  // the platform's default caption
        EXPECT_STREQ(TM_TEXT_INITIALISING, watcher.m_seen[0].labelText);
        EXPECT_EQ(TM_TEXT_INIT_ERROR, WindowText(m_window.m_hLabel));
    }

    HMODULE m_hModule = nullptr;  // owned when set
    CTestWindow m_window;
    CTonguemeter m_app;
};

}  // namespace

TEST_F(LoaderTest, AllPresentLoadInTableOrderWithoutWarning)
{
    CMessageBoxWatcher watcher(m_window.m_hLabel);
    EXPECT_TRUE(m_app.LoadLanguages());
    EXPECT_EQ(0, watcher.m_seenCount);
    EXPECT_EQ(TM_TEXT_READY, WindowText(m_window.m_hLabel));
    ASSERT_EQ(kLanguageCount, m_app.m_identifier.GetProfileCount());
    EXPECT_EQ(CatalogueNamesWithout(u""), LoadedNames());
    EXPECT_EQ(L"アフリカーンス語 (Afrikaans)", LoadedNames().front());
    EXPECT_EQ(L"ウェールズ語 (Welsh)", LoadedNames().back());
    for (int i = 0; i < kLanguageCount; ++i)
        EXPECT_GT(m_app.m_identifier.GetProfile(i)->m_table.m_totalCount, 0) << i;
}

TEST_F(LoaderTest, OneMissingLeavesTheOthersInOrderAndWarnsOnce)
{
    UseModule(L"loader_missing.dll");
    CMessageBoxWatcher watcher(m_window.m_hLabel);
    EXPECT_TRUE(m_app.LoadLanguages());
    ExpectOneWarning(watcher);
    EXPECT_EQ(CatalogueNamesWithout(u"ENGLISH"), LoadedNames());
}

// The rejected blob leaves nothing behind: the load allocates exactly what the same 41 profiles
// cost when the row is missing altogether.
TEST_F(LoaderTest, OneCorruptIsRejectedWithoutLeaving)
{
    long missingCost;
    {
        CTonguemeter other(LoadLibraryW((TestProgramFolder() + L"loader_missing.dll").c_str()));
        other.m_hWnd = m_window.m_hWnd;
        other.m_hResult = m_window.m_hLabel;
        CMessageBoxWatcher watcher;
        const long before = LiveAllocations();
        other.LoadLanguages();
        missingCost = LiveAllocations() - before;
        FreeLibrary(other.m_hInstance);
    }

    UseModule(L"loader_bad.dll");
    CMessageBoxWatcher watcher(m_window.m_hLabel);
    const long before = LiveAllocations();
    EXPECT_TRUE(m_app.LoadLanguages());
    EXPECT_EQ(missingCost, LiveAllocations() - before);
    ExpectOneWarning(watcher);
    EXPECT_EQ(CatalogueNamesWithout(u"AFRIKAANS"), LoadedNames());
}

// Missing, rejected and empty resources in turn: nothing loads, one warning, the program goes on.
TEST_F(LoaderTest, AllFailingLeavesNoProfilesAndWarnsOnce)
{
    UseModule(L"loader_failing.dll");
    CMessageBoxWatcher watcher(m_window.m_hLabel);
    EXPECT_TRUE(m_app.LoadLanguages());
    ExpectOneWarning(watcher);
    EXPECT_EQ(0, m_app.m_identifier.GetProfileCount());
    EXPECT_EQ(nullptr, m_app.m_identifier.Identify(u"text"));
}

TEST_F(LoaderTest, AFullListTakesNoMoreProfiles)
{
    const std::vector<uint8_t> blob = WriteBlob(PlaceKeys({{u"a", 1}}, 2), 1);
    for (int i = 0; i < CLangIdentifier::kMaxProfiles; ++i)
        ASSERT_TRUE(m_app.m_identifier.LoadProfile(u"filler", blob.data(), blob.size()));

    CMessageBoxWatcher watcher(m_window.m_hLabel);
    const long before = LiveAllocations();
    EXPECT_TRUE(m_app.LoadLanguages());
    EXPECT_EQ(before, LiveAllocations());  // every refused profile was freed
    ExpectOneWarning(watcher);
    EXPECT_EQ(CLangIdentifier::kMaxProfiles, m_app.m_identifier.GetProfileCount());
    EXPECT_EQ(L"filler", LoadedNames().back());
}

TEST(ResourceBlob, GivesAddressAndSizeOrNothing)
{
    const void* bytes = &bytes;
    DWORD size = 99;
    ASSERT_TRUE(FindResourceBlob(GetModuleHandleW(nullptr), L"ENGLISH", L"LANGDATA", &bytes, &size));
    EXPECT_NE(nullptr, bytes);
    EXPECT_GT(size, 24u);
    EXPECT_EQ(0, memcmp(bytes, "LANG", 4));

    EXPECT_FALSE(FindResourceBlob(GetModuleHandleW(nullptr), L"KLINGON", L"LANGDATA", &bytes, &size));
    EXPECT_EQ(nullptr, bytes);
    EXPECT_EQ(0u, size);
}
