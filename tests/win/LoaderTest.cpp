// Loading the catalogue's profiles from resources: every row tried, one warning for any failure.
// The modules: this test program (the program's own 42 profile resources) and three resource DLLs
// built beside it (tests/win/CMakeLists.txt): ENGLISH missing, AFRIKAANS with a wrong magic, and
// every row failing.
#include "LanguageTable.h"
#include "NgramTable.h"
#include "ProfileWriter.h"
#include "Strings.h"
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The profiles' display names, in list order.
std::vector<std::wstring> LoadedNames(const CTonguemeter& app)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < app.m_identifier.GetProfileCount(); ++i)
        names.push_back(AsWide(app.m_identifier.GetProfile(i)->DisplayName()));
    return names;
}

// Catalogue names in table order, without the row named `skipped` (null: without any).
std::vector<std::wstring> CatalogueNamesWithout(const char16_t* skipped)
{
    std::vector<std::wstring> names;
    for (const LanguageRow& row : LanguageTable)
        if (skipped == nullptr || std::u16string(row.resourceName) != skipped)
            names.push_back(AsWide(row.displayName));
    return names;
}

// The application object loads with a stand-in main window and result label.
class LoaderTest : public testing::Test
{
protected:
    void Attach(CTonguemeter& app)
    {
        app.m_hWnd = m_window.m_hWnd;
        app.m_hResult = m_window.m_hLabel;
    }

    // One warning box, owned by the main window, shown while the label said it was initialising;
    // the label ends on the error text.
    void ExpectOneWarning(const CMessageBoxWatcher& watcher)
    {
        EXPECT_EQ(1, watcher.m_count);
        EXPECT_STREQ(TM_TEXT_LOAD_WARNING, watcher.m_text);
        EXPECT_EQ(m_window.m_hWnd, watcher.m_owner);
        EXPECT_EQ(LoadIconW(nullptr, IDI_WARNING), watcher.m_icon);
        EXPECT_FALSE(watcher.m_hasCancel);  // OK only
        EXPECT_STREQ(TM_TEXT_INITIALISING, watcher.m_labelText);
        EXPECT_EQ(TM_TEXT_INIT_ERROR, WindowText(m_window.m_hLabel));
    }

    CTestWindow m_window{50, 50, 400, 160, true};
};

}  // namespace

// Without a window ever created, destroying the object frees every profile. The index laid out at
// build time is read in place from the resources, and no table is made.
TEST_F(LoaderTest, AllPresentLoadInTableOrderWithoutWarningAndAreFreedWithTheObject)
{
    const long before = LiveAllocations();
    {
        CTonguemeter app(GetModuleHandleW(nullptr));
        Attach(app);
        CMessageBoxWatcher watcher(m_window.m_hLabel);
        EXPECT_TRUE(app.LoadLanguages());
        EXPECT_EQ(0, watcher.m_count);
        EXPECT_EQ(TM_TEXT_READY, WindowText(m_window.m_hLabel));
        EXPECT_EQ(CatalogueNamesWithout(nullptr), LoadedNames(app));
        EXPECT_EQ(0u, app.m_identifier.GetIndexBytes() + app.m_identifier.GetTableBytes())
            << "the index laid out at build time was not used, or tables were made";
        ASSERT_NE(nullptr, app.m_identifier.Identify(u"abab"));
        EXPECT_GT(LiveAllocations(), before + 42);
    }
    EXPECT_EQ(before, LiveAllocations()) << "blocks the destroyed object left behind";
}

// Missing, rejected and empty rows are left out, the others load in order, and one warning follows.
TEST_F(LoaderTest, FailingRowsAreLeftOutWithOneWarningAndNothingLeaked)
{
    struct Scenario { const wchar_t* dll; const char16_t* failing; long cost; };
    Scenario scenarios[] = {{L"loader_missing.dll", u"ENGLISH", 0}, {L"loader_bad.dll", u"AFRIKAANS", 0},
                            {L"loader_failing.dll", nullptr, 0}};
    for (Scenario& s : scenarios) {
        SCOPED_TRACE(Utf8(s.dll));
        HMODULE module = LoadLibraryW((TestProgramFolder() + s.dll).c_str());
        ASSERT_NE(nullptr, module);
        {
            CTonguemeter app(module);
            Attach(app);
            CMessageBoxWatcher watcher(m_window.m_hLabel);
            const long before = LiveAllocations();
            EXPECT_TRUE(app.LoadLanguages());
            s.cost = LiveAllocations() - before;
            ExpectOneWarning(watcher);
            EXPECT_EQ(s.failing ? CatalogueNamesWithout(s.failing) : std::vector<std::wstring>(), LoadedNames(app));
            if (s.failing)  // the laid-out index is for all 42: the index of the others is built
                EXPECT_GT(app.m_identifier.GetIndexBytes(), 0u);
        }
        FreeLibrary(module);
    }
    // The rejected blob leaves nothing behind: the 41 others cost what they cost when its row is
    // missing altogether.
    EXPECT_EQ(scenarios[0].cost, scenarios[1].cost);
}

TEST_F(LoaderTest, AFullListTakesNoMoreProfiles)
{
    CTonguemeter app(GetModuleHandleW(nullptr));
    Attach(app);
    const std::vector<uint8_t> blob = WriteBlob(PlaceKeys({{u"a", 1}}, 2), 1);
    for (int i = 0; i < CLangIdentifier::kMaxProfiles; ++i)
        ASSERT_TRUE(app.m_identifier.LoadProfile(u"filler", blob.data(), blob.size()));
    app.m_identifier.BuildIndex();  // the load ends with an index of the same profiles

    CMessageBoxWatcher watcher(m_window.m_hLabel);
    const long before = LiveAllocations();
    EXPECT_TRUE(app.LoadLanguages());
    EXPECT_EQ(before, LiveAllocations());  // every refused profile was freed
    ExpectOneWarning(watcher);
    EXPECT_EQ(CLangIdentifier::kMaxProfiles, app.m_identifier.GetProfileCount());
    EXPECT_EQ(L"filler", LoadedNames(app).back());
}
