// The settings file beside the program: seven keys read at start-up and written at shutdown.
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

using Bounds = std::array<int, 4>;

// The test program's own settings file, as LoadSettings derives it.
std::wstring IniPath()
{
    return TestProgramFolder() + L"app_tests.ini";
}

Bounds BoundsOf(const CTonguemeter& app)
{
    return {app.m_windowLeft, app.m_windowTop, app.m_windowWidth, app.m_windowHeight};
}

// What a fresh start reads from the file.
Bounds BoundsReadBack()
{
    CTonguemeter next(GetModuleHandleW(nullptr));
    next.LoadSettings();
    return BoundsOf(next);
}

class SettingsTest : public testing::Test
{
protected:
    SettingsTest() : m_app(GetModuleHandleW(nullptr)) { DeleteFileW(IniPath().c_str()); }
    ~SettingsTest() override { DeleteFileW(IniPath().c_str()); }

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

}  // namespace

TEST_F(SettingsTest, NoFileGivesTheDefaultsAndSavingWritesSevenKeysInOrder)
{
    m_app.LoadSettings();
    EXPECT_EQ(IniPath(), m_app.m_iniPath);
    EXPECT_EQ(BoundsOf(m_app), (Bounds{0, 0, 400, 160}));
    EXPECT_FALSE(m_app.m_alwaysOnTop || m_app.m_translucent || m_app.m_auto);

    m_app.m_auto = true;  // toggled while running: reaches the file at shutdown
    SaveWithWindowAt({10, 20, 300, 150});
    EXPECT_EQ(BoundsOf(m_app), (Bounds{10, 20, 300, 150}));
    const std::vector<std::string> expected = {"[Settings]",       "WindowLeft=10", "WindowTop=20",
                                               "WindowWidth=300",  "WindowHeight=150", "AlwaysOnTop=0",
                                               "Translucent=0",    "Auto=1"};
    EXPECT_EQ(expected, FileLines(IniPath()));
}

TEST_F(SettingsTest, NonZeroOptionsReadAsOnAndAreWrittenAsOneOtherKeysUntouched)
{
    FILE* file = _wfopen(IniPath().c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("[Other]\r\nKeep=me\r\n[Settings]\r\nAlwaysOnTop=5\r\nTranslucent=-1\r\nAuto=0\r\n"
               "Extra=7\r\nWindowWidth=0\r\nWindowHeight=-20\r\n", file);
    std::fclose(file);
    m_app.LoadSettings();
    EXPECT_TRUE(m_app.m_alwaysOnTop);
    EXPECT_TRUE(m_app.m_translucent);
    EXPECT_FALSE(m_app.m_auto);
    // Missing keys keep the defaults; sizes out of any sensible range are taken as they are.
    EXPECT_EQ(BoundsOf(m_app), (Bounds{0, 0, 0, -20}));

    SaveWithWindowAt({0, 0, 400, 160});
    const std::vector<std::string> lines = FileLines(IniPath());
    for (const char* line : {"AlwaysOnTop=1", "Translucent=1", "Auto=0", "[Other]", "Keep=me", "Extra=7"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
}

// Negative coordinates, and a maximised or minimised window's restored bounds, come back as saved.
TEST_F(SettingsTest, SavedBoundsComeBackNegativeMaximisedOrMinimised)
{
    m_app.LoadSettings();
    const std::pair<Bounds, int> cases[] = {{{-500, -300, 320, 200}, SW_SHOWNORMAL},
                                            {{30, 40, 350, 180}, SW_MAXIMIZE},
                                            {{30, 40, 350, 180}, SW_MINIMIZE}};
    for (const auto& [bounds, show] : cases) {
        SaveWithWindowAt(bounds, show);
        EXPECT_EQ(BoundsOf(m_app), bounds) << show;
        EXPECT_EQ(BoundsReadBack(), bounds) << show;
    }
}

namespace {

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

}  // namespace

// The restored rectangle is in workspace coordinates: the work area's offset is added, unless the
// monitor information cannot be had. (Under wine the work area is the whole screen, so the offset
// is all the platform stand-in's.)
TEST_F(SettingsTest, SavedPositionIncludesTheWorkAreaOffset)
{
    m_app.LoadSettings();
    {
        CImportPatch patch("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(&TaskbarAtLeftAndTop));
        ASSERT_NE(nullptr, patch.m_slot);
        g_realGetMonitorInfo = reinterpret_cast<GetMonitorInfoFunction>(patch.m_original);
        SaveWithWindowAt({10, 20, 300, 150});
    }
    EXPECT_EQ(BoundsOf(m_app), (Bounds{110, 70, 300, 150}));
    {
        CImportPatch patch("user32.dll", "GetMonitorInfoW", reinterpret_cast<void*>(&FailingMonitorInfo));
        SaveWithWindowAt({10, 20, 300, 150});
    }
    EXPECT_EQ(BoundsOf(m_app), (Bounds{10, 20, 300, 150}));
}

// Tests run as root, so file permissions stop nothing: a folder that does not exist does.
TEST_F(SettingsTest, UnwritableLocationFailsSilently)
{
    m_app.LoadSettings();
    const std::wstring folder = TestProgramFolder() + L"no-such-folder";
    wcscpy(m_app.m_iniPath, (folder + L"\\app_tests.ini").c_str());
    m_app.m_alwaysOnTop = true;
    SaveWithWindowAt({10, 20, 300, 150});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
    EXPECT_EQ(7u, GetPrivateProfileIntW(L"Settings", L"AlwaysOnTop", 7, m_app.m_iniPath));
}
