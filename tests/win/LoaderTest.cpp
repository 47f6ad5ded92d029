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

// Watches this thread for message boxes while it exists: each one that opens is counted and closed
// with its OK button, so a test never hangs on a modal box; the first is recorded (with the text of
// `label` at that moment). Recording allocates nothing, so allocation counts stay exact.
class CMessageBoxWatcher
{
public:
    explicit CMessageBoxWatcher(HWND label) : m_hLabel(label) { s_active = this; }
    ~CMessageBoxWatcher() { s_active = nullptr; }
    CMessageBoxWatcher(const CMessageBoxWatcher&) = delete;
    CMessageBoxWatcher& operator=(const CMessageBoxWatcher&) = delete;

    int m_count = 0;
    wchar_t m_text[256] = {};
    HWND m_owner = nullptr;
    HICON m_icon = nullptr;  // the icon the box shows
    bool m_hasCancel = false;
    wchar_t m_labelText[256] = {};

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        if (code == HCBT_ACTIVATE && s_active != nullptr && GetClassNameW(box, className, 32) &&
            lstrcmpW(className, L"#32770") == 0) {
            CMessageBoxWatcher& w = *s_active;
            if (w.m_count++ == 0) {
                GetDlgItemTextW(box, 0xFFFF, w.m_text, 256);  // a message box's text is static 0xFFFF
                w.m_owner = GetWindow(box, GW_OWNER);
                // The icon control: 20 on Windows, 0x440 in wine's template.
                for (int id : {20, 0x440})
                    if (GetDlgItem(box, id) != nullptr)
                        w.m_icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, id, STM_GETICON, 0, 0));
                // The box itself is not shown yet: look at the button's own style.
                HWND cancel = GetDlgItem(box, IDCANCEL);
                w.m_hasCancel = cancel != nullptr && (GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE) != 0;
                GetWindowTextW(w.m_hLabel, w.m_labelText, 256);
            }
            // Posted: the box's own modal loop picks it up and ends the box.
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline CMessageBoxWatcher* s_active = nullptr;  // the one active watcher of the test thread
    CThreadHook m_hook{WH_CBT, CbtProc};
    HWND m_hLabel;  // borrowed
};

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

// One row per module. Missing, rejected and empty rows are left out, the others load in table order,
// and any failure gives one warning; the index of those loaded is built. Without a window ever
// created, destroying the object frees every profile.
TEST_F(LoaderTest, RowsLoadInTableOrderFailingOnesLeftOutWithOneWarningAndAllFreed)
{
    struct Scenario { const wchar_t* dll; std::vector<std::wstring> loaded; long cost; };
    Scenario scenarios[] = {{nullptr, CatalogueNamesWithout(nullptr), 0},
                            {L"loader_missing.dll", CatalogueNamesWithout(u"ENGLISH"), 0},
                            {L"loader_bad.dll", CatalogueNamesWithout(u"AFRIKAANS"), 0},
                            {L"loader_failing.dll", {}, 0}};
    CNgramTable::SlotVisits();  // this thread's counter, made at its first use, is not the object's
    for (Scenario& s : scenarios) {
        SCOPED_TRACE(s.dll ? Utf8(s.dll) : "all present (the test program)");
        HMODULE module = s.dll ? LoadLibraryW((TestProgramFolder() + s.dll).c_str()) : GetModuleHandleW(nullptr);
        ASSERT_NE(nullptr, module);
        const long before = LiveAllocations();
        {
            CTonguemeter app(module);
            Attach(app);
            CMessageBoxWatcher watcher(m_window.m_hLabel);
            EXPECT_TRUE(app.LoadLanguages());
            s.cost = LiveAllocations() - before;
            EXPECT_EQ(s.loaded, LoadedNames(app));
            if (!s.loaded.empty())
                EXPECT_GT(app.m_identifier.GetIndexBytes(), 0u);
            if (s.dll != nullptr) {
                ExpectOneWarning(watcher);
            } else {
                EXPECT_EQ(0, watcher.m_count);
                EXPECT_EQ(TM_TEXT_READY, WindowText(m_window.m_hLabel));
                EXPECT_NE(nullptr, app.m_identifier.Identify(u"abab"));
                EXPECT_GT(s.cost, 42);
            }
        }
        EXPECT_EQ(before, LiveAllocations()) << "blocks the destroyed object left behind";
        if (s.dll != nullptr)
            FreeLibrary(module);
    }
    // The rejected blob leaves nothing behind: the 41 others cost what they cost when its row is
    // missing altogether.
    EXPECT_EQ(scenarios[1].cost, scenarios[2].cost);
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
