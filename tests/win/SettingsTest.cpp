// The settings file beside the program: eight keys read at start-up and written at shutdown.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <tuple>

namespace {

using Bounds = std::array<int, 4>;

Bounds BoundsOf(const CTonguemeter& app)
{
    return {app.m_windowLeft, app.m_windowTop, app.m_windowWidth, app.m_windowHeight};
}

class SettingsTest : public testing::Test
{
protected:
    SettingsTest() : m_app(GetModuleHandleW(nullptr)) { DeleteFileW(CTestApp::IniPath().c_str()); }
    ~SettingsTest() override { DeleteFileW(CTestApp::IniPath().c_str()); }

    // Saves with a stand-in main window at the given bounds, shown with `show`.
    void SaveWithWindowAt(const Bounds& b, int show = SW_SHOWNORMAL)
    {
        CTestWindow window(b[0], b[1], b[2], b[3]);
        ShowWindow(window.m_hWnd, show);
        EXPECT_TRUE(show == SW_SHOWNORMAL || IsZoomed(window.m_hWnd) || IsIconic(window.m_hWnd)) << show;
        m_app.m_hWnd = window.m_hWnd;
        m_app.SaveSettings();
        m_app.m_hWnd = nullptr;
    }

    CTonguemeter m_app;
};

using GetMonitorInfoFunction = BOOL(WINAPI*)(HMONITOR, MONITORINFO*);
GetMonitorInfoFunction g_realGetMonitorInfo = nullptr;

// Monitor information as with a taskbar docked at the left (100 pixels) and top (50 pixels).
BOOL WINAPI TaskbarAtLeftAndTop(HMONITOR monitor, MONITORINFO* info)
{
    if (!g_realGetMonitorInfo(monitor, info))
        return FALSE;
    info->rcWork.left = info->rcMonitor.left + 100;
    info->rcWork.top = info->rcMonitor.top + 50;
    return TRUE;
}

BOOL WINAPI FailingMonitorInfo(HMONITOR, MONITORINFO*)
{
    return FALSE;
}

// Two screens, as the patched monitor query reports them, each as monitor and work area: the primary
// with a taskbar at its bottom, and a taller one to its left.
const RECT kScreens[2][2] = {{{0, 0, 1024, 768}, {0, 0, 1024, 728}}, {{-1280, -200, 0, 824}, {-1280, -200, 0, 824}}};

// The screen holding the larger part of `rect`; off both, the one on its side of x = 0.
HMONITOR WINAPI TwoScreensFromRect(const RECT* rect, DWORD)
{
    long long area[2] = {};
    for (int i = 0; i < 2; ++i) {
        RECT overlap = {};
        if (IntersectRect(&overlap, rect, &kScreens[i][0]))
            area[i] = (0LL + overlap.right - overlap.left) * (overlap.bottom - overlap.top);
    }
    const bool second = area[1] > area[0] || (area[0] == 0 && 0LL + rect->left + rect->right < 0);
    return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(second ? 2 : 1));
}

BOOL WINAPI TwoScreensInfo(HMONITOR monitor, MONITORINFO* info)
{
    const INT_PTR i = reinterpret_cast<INT_PTR>(monitor) - 1;
    if (i < 0 || i > 1)
        return FALSE;
    info->rcMonitor = kScreens[i][0];
    info->rcWork = kScreens[i][1];
    info->dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

Bounds AsArray(const WindowBounds& b)
{
    return {b.left, b.top, b.width, b.height};
}

}  // namespace

// Without a file: the defaults. Negative coordinates, and a maximised or minimised window's restored
// bounds, come back as saved.
TEST_F(SettingsTest, NoFileGivesTheDefaultsAndSavedBoundsComeBackAsSaved)
{
    m_app.LoadSettings();
    EXPECT_EQ(CTestApp::IniPath(), m_app.m_iniPath);
    EXPECT_EQ(BoundsOf(m_app), (Bounds{0, 0, 400, 160}));
    EXPECT_FALSE(m_app.m_alwaysOnTop || m_app.m_translucent || m_app.m_auto || m_app.m_clipboard);

    // (The file's keys in order: the end-to-end test; the options' values: MainWindowTest.)
    const struct { const char* what; Bounds bounds; int show; } cases[] = {
        {"normal", {10, 20, 300, 150}, SW_SHOWNORMAL},
        {"negative coordinates", {-500, -300, 320, 200}, SW_SHOWNORMAL},
        {"maximised", {30, 40, 350, 180}, SW_MAXIMIZE},
        {"minimised", {30, 40, 350, 180}, SW_MINIMIZE}};
    for (const auto& c : cases) {
        SaveWithWindowAt(c.bounds, c.show);
        CTonguemeter next(GetModuleHandleW(nullptr));
        next.LoadSettings();
        EXPECT_EQ(BoundsOf(next), c.bounds) << c.what;
    }
}

// The file of an older version, without Clipboard: the watch reads as off and the key is added last.
TEST_F(SettingsTest, NonZeroOptionsReadAsOnAndAreWrittenAsOneOtherKeysUntouched)
{
    ASSERT_TRUE(WriteFileBytes(CTestApp::IniPath(), "[Other]\r\nKeep=me\r\n[Settings]\r\nAlwaysOnTop=5\r\nTranslucent=-1\r\n"
                                          "Auto=0\r\nExtra=7\r\nWindowWidth=0\r\nWindowHeight=-20\r\n"));
    m_app.LoadSettings();
    EXPECT_EQ((std::array<bool, 4>{m_app.m_alwaysOnTop, m_app.m_translucent, m_app.m_auto, m_app.m_clipboard}),
              (std::array<bool, 4>{true, true, false, false}));
    // Missing keys keep the defaults; sizes out of any sensible range are taken as they are.
    EXPECT_EQ(BoundsOf(m_app), (Bounds{0, 0, 0, -20}));

    SaveWithWindowAt({0, 0, 400, 160});
    const std::vector<std::string> lines = FileLines(CTestApp::IniPath());
    for (const char* line : {"AlwaysOnTop=1", "Translucent=1", "Auto=0", "[Other]", "Keep=me", "Extra=7"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    EXPECT_EQ(lines.back(), "Clipboard=0");
}

// The restored rectangle is in workspace coordinates: the work area's offset is added, unless the
// monitor information cannot be had. (Under wine the work area is the whole screen, so the offset
// is all the platform stand-in's.) A file that cannot be written fails silently: tests run as root,
// so file permissions stop nothing, but a folder that does not exist does.
TEST_F(SettingsTest, SavedPositionIncludesTheWorkAreaOffsetAndAnUnwritableFileFailsSilently)
{
    m_app.LoadSettings();
    const struct { const char* what; GetMonitorInfoFunction query; Bounds saved; } cases[] = {
        {"a taskbar at the left and top", TaskbarAtLeftAndTop, {110, 70, 300, 150}},
        {"no monitor information", FailingMonitorInfo, {10, 20, 300, 150}}};
    for (const auto& c : cases) {
        CImportPatch patch("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(c.query));
        ASSERT_NE(nullptr, patch.m_slot);
        g_realGetMonitorInfo = reinterpret_cast<GetMonitorInfoFunction>(patch.m_original);
        SaveWithWindowAt({10, 20, 300, 150});
        EXPECT_EQ(BoundsOf(m_app), c.saved) << c.what;
    }

    const std::wstring folder = TestProgramFolder() + L"no-such-folder";
    wcscpy(m_app.m_iniPath, (folder + L"\\app_tests.ini").c_str());
    m_app.m_alwaysOnTop = true;
    SaveWithWindowAt({10, 20, 300, 150});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
    EXPECT_EQ(7u, GetPrivateProfileIntW(L"Settings", L"AlwaysOnTop", 7, m_app.m_iniPath));
}

// Stored bounds stay when they give a usable window: at least the smallest size, the title bar inside
// a work area from top to bottom and over at least the smallest width. Otherwise the default size,
// centred on the work area of the screen nearest them.
TEST_F(SettingsTest, StartBoundsAreTheStoredOnesOnlyWhenTheyGiveAUsableWindow)
{
    const int minWidth = GetSystemMetrics(SM_CXMINTRACK), minHeight = GetSystemMetrics(SM_CYMINTRACK);
    const int title = GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION);
    const Bounds kept = {}, primary = {312, 284, 400, 160}, second = {-840, 232, 400, 160};
    const struct
    {
        Bounds stored, expected;  // `kept`: the stored bounds
        const char* what;
    } cases[] = {
        {{37, 41, 500, 220}, kept, "usable"},
        {{-900, 100, 400, 160}, kept, "usable on the second screen"},
        {{10, 20, minWidth, minHeight}, kept, "the smallest window"},
        {{1024 - minWidth, 0, 400, 160}, kept, "the smallest width of the title bar inside"},
        {{100, 728 - title, 400, 160}, kept, "the title bar just above the taskbar"},
        {{10, 20, 0, 160}, primary, "no width"},
        {{10, 20, 400, -5}, primary, "a negative height"},
        {{10, 20, minWidth - 1, 160}, primary, "narrower than the smallest window"},
        {{10, 20, 400, minHeight - 1}, primary, "lower than the smallest window"},
        {{1024 - minWidth + 1, 0, 400, 160}, primary, "less of the title bar inside"},
        {{100, 728 - title + 1, 400, 160}, primary, "the title bar on the taskbar"},
        {{100, -1, 400, 160}, primary, "the title bar above the top"},
        {{5000, 300, 400, 160}, primary, "off every screen, nearest the primary"},
        {{-5000, -300, 400, 160}, second, "off every screen (a removed screen), nearest the second"},
        {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, primary, "the largest numbers"},
        {{INT_MIN, INT_MIN, 400, 160}, second, "the smallest numbers"},
    };
    CImportPatch fromRect("user32.dll", "MonitorFromRect", reinterpret_cast<void*>(&TwoScreensFromRect));
    CImportPatch info("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(&TwoScreensInfo));
    ASSERT_TRUE(fromRect.m_slot && info.m_slot);
    for (const auto& c : cases) {
        std::tie(m_app.m_windowLeft, m_app.m_windowTop, m_app.m_windowWidth, m_app.m_windowHeight) =
            std::tie(c.stored[0], c.stored[1], c.stored[2], c.stored[3]);
        EXPECT_EQ(AsArray(m_app.StartBounds()), c.expected == kept ? c.stored : c.expected) << c.what;
        EXPECT_EQ(BoundsOf(m_app), c.stored) << c.what;  // the settings' fields stay as read
    }
    // Without monitor information nothing can be judged: the stored bounds stay.
    CImportPatch failing("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(&FailingMonitorInfo));
    EXPECT_EQ(AsArray(m_app.StartBounds()), BoundsOf(m_app));
}
