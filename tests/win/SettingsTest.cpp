// The settings file beside the program: seven keys read at start-up and written at shutdown.
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The test program's own settings file, as LoadSettings derives it.
std::wstring IniPath()
{
    return TestProgramFolder() + L"app_tests.ini";
}

std::string Utf8(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], length, nullptr, nullptr);
    result.resize(length - 1);
    return result;
}

void WriteIni(const char* content)
{
    std::ofstream(Utf8(IniPath()), std::ios::binary) << content;
}

// The file's lines without line ends.
std::vector<std::string> IniLines()
{
    std::ifstream file(Utf8(IniPath()), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

class SettingsTest : public testing::Test
{
protected:
    SettingsTest() : m_app(GetModuleHandleW(nullptr)) { DeleteFileW(IniPath().c_str()); }
    ~SettingsTest() override { DeleteFileW(IniPath().c_str()); }

    // Saves with a stand-in main window at the given bounds, shown with `show`.
    void SaveWithWindowAt(int x, int y, int width, int height, int show = SW_SHOWNORMAL)
    {
        CTestWindow window(x, y, width, height);
        ShowWindow(window.m_hWnd, show);
        m_app.m_hWnd = window.m_hWnd;
        m_app.SaveSettings();
        m_app.m_hWnd = nullptr;
    }

    void ExpectBounds(const CTonguemeter& app, int x, int y, int width, int height)
    {
        EXPECT_EQ(x, app.m_windowLeft);
        EXPECT_EQ(y, app.m_windowTop);
        EXPECT_EQ(width, app.m_windowWidth);
        EXPECT_EQ(height, app.m_windowHeight);
    }

    CTonguemeter m_app;
};

}  // namespace

TEST_F(SettingsTest, NoFileGivesTheDefaultsAndSavingWritesSevenKeysInOrder)
{
    m_app.LoadSettings();
    EXPECT_EQ(IniPath(), m_app.m_iniPath);
    ExpectBounds(m_app, 0, 0, 400, 160);
    EXPECT_FALSE(m_app.m_alwaysOnTop);
    EXPECT_FALSE(m_app.m_translucent);
    EXPECT_FALSE(m_app.m_auto);

    m_app.m_auto = true;  // toggled while running: reaches the file at shutdown
    SaveWithWindowAt(10, 20, 300, 150);
    ExpectBounds(m_app, 10, 20, 300, 150);
    const std::vector<std::string> expected = {
        "[Settings]",       "WindowLeft=10",    "WindowTop=20",  "WindowWidth=300",
        "WindowHeight=150", "AlwaysOnTop=0",    "Translucent=0", "Auto=1"};
    EXPECT_EQ(expected, IniLines());
}

TEST_F(SettingsTest, NonZeroOptionsReadAsOnAndAreWrittenAsOne)
{
    WriteIni("[Other]\r\nKeep=me\r\n[Settings]\r\nAlwaysOnTop=5\r\nTranslucent=-1\r\nAuto=0\r\n"
             "Extra=7\r\nWindowWidth=0\r\nWindowHeight=-20\r\n");
    m_app.LoadSettings();
    EXPECT_TRUE(m_app.m_alwaysOnTop);
    EXPECT_TRUE(m_app.m_translucent);
    EXPECT_FALSE(m_app.m_auto);
    // Missing keys keep the defaults; sizes out of any sensible range are taken as they are.
    ExpectBounds(m_app, 0, 0, 0, -20);

    SaveWithWindowAt(0, 0, 400, 160);
    const std::vector<std::string> lines = IniLines();
    auto has = [&lines](const char* line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("AlwaysOnTop=1"));
    EXPECT_TRUE(has("Translucent=1"));
    EXPECT_TRUE(has("Auto=0"));
    // Other sections and keys stay as they were.
    EXPECT_TRUE(has("[Other]"));
    EXPECT_TRUE(has("Keep=me"));
    EXPECT_TRUE(has("Extra=7"));
}

TEST_F(SettingsTest, NegativeCoordinatesRoundTrip)
{
    m_app.LoadSettings();
    SaveWithWindowAt(-500, -300, 320, 200);

    CTonguemeter next(GetModuleHandleW(nullptr));
    next.LoadSettings();
    ExpectBounds(next, -500, -300, 320, 200);
}

TEST_F(SettingsTest, MaximisedOrMinimisedWindowSavesItsRestoredBounds)
{
    m_app.LoadSettings();
    for (int show : {SW_MAXIMIZE, SW_MINIMIZE}) {
        CTestWindow window(30, 40, 350, 180);
        ShowWindow(window.m_hWnd, show);
        EXPECT_TRUE(show == SW_MAXIMIZE ? IsZoomed(window.m_hWnd) : IsIconic(window.m_hWnd));
        m_app.m_hWnd = window.m_hWnd;
        m_app.SaveSettings();
        ExpectBounds(m_app, 30, 40, 350, 180);

        CTonguemeter next(GetModuleHandleW(nullptr));
        next.LoadSettings();
        ExpectBounds(next, 30, 40, 350, 180);
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
// monitor information cannot be had. (Under wine the work area is the whole screen, so the window's
// workspace and screen coordinates coincide and the offset is all the platform stand-in's.)
TEST_F(SettingsTest, SavedPositionIncludesTheWorkAreaOffset)
{
    void** slot = FindImportSlot("user32.dll", "GetMonitorInfoW");
    ASSERT_NE(nullptr, slot);
    m_app.LoadSettings();
    {
        CImportPatch patch(slot, reinterpret_cast<void*>(&TaskbarAtLeftAndTop));
        g_realGetMonitorInfo = reinterpret_cast<GetMonitorInfoFunction>(patch.Original());
        SaveWithWindowAt(10, 20, 300, 150);
    }
    ExpectBounds(m_app, 110, 70, 300, 150);
    {
        CImportPatch patch(slot, reinterpret_cast<void*>(&FailingMonitorInfo));
        SaveWithWindowAt(10, 20, 300, 150);
    }
    ExpectBounds(m_app, 10, 20, 300, 150);
}

// Tests run as root, so file permissions stop nothing: a folder that does not exist does.
TEST_F(SettingsTest, UnwritableLocationFailsSilently)
{
    m_app.LoadSettings();
    const std::wstring folder = TestProgramFolder() + L"no-such-folder";
    const std::wstring path = folder + L"\\app_tests.ini";
    wcscpy(m_app.m_iniPath, path.c_str());
    m_app.m_alwaysOnTop = true;
    SaveWithWindowAt(10, 20, 300, 150);

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
    CTonguemeter next(GetModuleHandleW(nullptr));
    wcscpy(next.m_iniPath, path.c_str());
    EXPECT_EQ(7u, GetPrivateProfileIntW(L"Settings", L"AlwaysOnTop", 7, next.m_iniPath));
}
