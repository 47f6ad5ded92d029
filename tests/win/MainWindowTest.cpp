// The main window in this process: controls, system menu, typing, identification and the flash,
// the option commands, the layout and dropped text. The flash timer is driven with WM_TIMER.
#include "WindowTestSupport.h"

#include "Verdict.h"
#include "../../res/resource.h"

#include <gtest/gtest.h>

namespace {

RECT ClientRectOf(HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Check mark of an own command; found by id, since wine appends an entry of its own to the menu.
bool IsChecked(HWND window, UINT command)
{
    return (GetMenuState(GetSystemMenu(window, FALSE), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

BYTE Alpha(HWND window)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(window, nullptr, &alpha, &flags);
    return (flags & LWA_ALPHA) ? alpha : 0;
}

DWORD ExStyle(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)); }

void Type(HWND edit, const wchar_t* text)
{
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}

void SysCommand(HWND window, WPARAM command) { SendMessageW(window, WM_SYSCOMMAND, command, 0); }

// What the label would look like: asks the window's parent for the colours of the result label.
struct LabelColours
{
    LRESULT brush;
    COLORREF text;
    COLORREF background;
};

LabelColours AskLabelColours(CTonguemeter& app)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    LabelColours colours;
    colours.brush = SendMessageW(app.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(app.m_hResult));
    colours.text = GetTextColor(dc);
    colours.background = GetBkColor(dc);
    DeleteDC(dc);
    return colours;
}

std::wstring ExpectedVerdict(CTonguemeter& app, const wchar_t* text)
{
    std::u16string verdict;
    FormatVerdict(app.m_identifier.Identify(AsUtf16(text)), app.m_identifier.GetProfileCount(), verdict);
    return AsWide(verdict.c_str());
}

const wchar_t kLatinText[] = L"the lazy dog jumps over the quick brown fox";
const wchar_t kCyrillicText[] = L"съешь ещё этих мягких булок";

}  // namespace

TEST(MainWindow, CreationBuildsTheThreeControlsWithTheirStyles)
{
    CTestApp app;
    ASSERT_TRUE(app.m_registered);
    ASSERT_NE(app->m_hWnd, nullptr);

    // Created in this order, at (0, 0) with size 0 x 0, with exactly these styles.
    struct Expected { HWND window; int id; const wchar_t* cls; DWORD style; DWORD exStyle; const wchar_t* text; };
    const Expected controls[] = {
        {app->m_hText, 100, L"EDIT", 0x54200044, WS_EX_CLIENTEDGE, L""},
        {app->m_hJudge, 101, L"BUTTON", 0x5C000000, 0, L"判定"},
        {app->m_hResult, 102, L"EDIT", 0x54800880, 0, L""},
    };
    ASSERT_EQ(app.m_created.size(), 4u);
    EXPECT_EQ(app.m_created[0].className, TM_CLASS_NAME);
    EXPECT_EQ(app.m_created[0].text, L"Tonguemeter");
    EXPECT_EQ(app.m_created[0].style, 0x02CF0000u);
    EXPECT_EQ(app.m_created[0].exStyle & ~WS_EX_WINDOWEDGE, 0u);  // the platform adds the window edge
    EXPECT_EQ(app.m_created[0].x, 0);
    EXPECT_EQ(app.m_created[0].y, 0);
    EXPECT_EQ(app.m_created[0].width, 400);
    EXPECT_EQ(app.m_created[0].height, 160);
    for (int i = 0; i < 3; ++i) {
        const Expected& c = controls[i];
        const CCreationRecorder::Created& made = app.m_created[i + 1];
        // With the manifest the class names come versioned ("6.0...!Edit"): common controls 6.
        const std::wstring cls = made.className.substr(made.className.find(L'!') + 1);
        EXPECT_EQ(_wcsicmp(cls.c_str(), c.cls), 0) << c.id;
        EXPECT_EQ(made.text, c.text) << c.id;
        EXPECT_EQ(made.style, c.style) << c.id;
        EXPECT_EQ(made.exStyle, c.exStyle) << c.id;
        EXPECT_EQ(made.id, c.id);
        EXPECT_EQ(made.x | made.y | made.width | made.height, 0) << c.id;

        ASSERT_NE(c.window, nullptr) << c.id;
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        EXPECT_EQ(GetDlgItem(app->m_hWnd, c.id), c.window);
        EXPECT_EQ(WindowText(c.window), c.text) << c.id;
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(c.window, WM_GETFONT, 0, 0)), app->m_hFont) << c.id;
        EXPECT_FALSE(GetWindowLongPtrW(c.window, GWL_STYLE) & WS_TABSTOP) << c.id;
    }
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));
    EXPECT_FALSE(IsWindowVisible(app->m_hWnd));  // the entry shows it

    // The button is sized from the font once, and the layout only moves it.
    HDC dc = GetDC(app->m_hJudge);
    HGDIOBJ old = SelectObject(dc, app->m_hFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(app->m_hJudge, dc);
    RECT button = ClientRectOf(app->m_hJudge);
    EXPECT_EQ(button.right - button.left, 2 * metrics.tmMaxCharWidth + 32);
    EXPECT_EQ(button.bottom - button.top, metrics.tmHeight + 12);

    // Regression, cut paste: the input box takes more than the edit control's default 32,767 units.
    EXPECT_GE(static_cast<DWORD>(SendMessageW(app->m_hText, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
}

TEST(MainWindow, SystemMenuHasTheSixEntriesInOrder)
{
    CTestApp app([](CTonguemeter& a) { a.m_translucent = true; a.m_auto = true; });
    HMENU menu = GetSystemMenu(app->m_hWnd, FALSE);
    ASSERT_NE(menu, nullptr);
    const int first = GetMenuItemCount(menu) - 6;
    ASSERT_GE(first, 0);
    // Wine may append an entry of its own after ours: find ours by the About entry's position.
    int about = -1;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (GetMenuItemID(menu, i) == IDM_ABOUT)
            about = i;
    ASSERT_GE(about, 5);
    const UINT ids[] = {0, IDM_ALWAYSONTOP, IDM_TRANSLUCENT, IDM_AUTO, 0, IDM_ABOUT};
    const wchar_t* texts[] = {L"", L"常に前面に表示", L"半透明表示", L"ドロップ時に即判定", L"", L"バージョン情報..."};
    for (int k = 0; k < 6; ++k) {
        const int pos = about - 5 + k;
        const UINT state = GetMenuState(menu, pos, MF_BYPOSITION);
        if (ids[k] == 0) {
            EXPECT_TRUE(state & MF_SEPARATOR) << k;
            continue;
        }
        EXPECT_EQ(GetMenuItemID(menu, pos), ids[k]);
        wchar_t text[64] = {};
        GetMenuStringW(menu, pos, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, texts[k]);
    }
    EXPECT_FALSE(IsChecked(app->m_hWnd, IDM_ALWAYSONTOP));
    EXPECT_TRUE(IsChecked(app->m_hWnd, IDM_TRANSLUCENT));
    EXPECT_TRUE(IsChecked(app->m_hWnd, IDM_AUTO));
    EXPECT_FALSE(IsChecked(app->m_hWnd, IDM_ABOUT));
}

TEST(MainWindow, StartedWithOptionsOnTheWindowIsTopmostAndLayeredWithAlpha204)
{
    CTestApp app([](CTonguemeter& a) { a.m_alwaysOnTop = true; a.m_translucent = true; });
    EXPECT_TRUE(ExStyle(app->m_hWnd) & WS_EX_TOPMOST);
    EXPECT_TRUE(ExStyle(app->m_hWnd) & WS_EX_LAYERED);
    EXPECT_EQ(Alpha(app->m_hWnd), 204);
    EXPECT_TRUE(IsChecked(app->m_hWnd, IDM_ALWAYSONTOP));
}

TEST(MainWindow, TypingEnablesTheButtonAndDeletingDisablesIt)
{
    CTestApp app;
    SendMessageW(app->m_hText, WM_CHAR, L'x', 0);
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    SendMessageW(app->m_hText, WM_CHAR, VK_BACK, 0);
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));

    Type(app->m_hText, L"日本語");
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    SendMessageW(app->m_hText, EM_SETSEL, 0, -1);
    Type(app->m_hText, L"");
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));
}

TEST(MainWindow, RegressionMultiMegabytePasteArrivesWhole)
{
    CTestApp app;
    std::wstring big;
    while (big.size() < 3 * 1024 * 1024)
        big += L"A line of pasted text that goes on and on. ";
    Type(app->m_hText, big.c_str());
    EXPECT_EQ(GetWindowTextLengthW(app->m_hText), static_cast<int>(big.size()));
    Type(app->m_hText, L"!");  // typing still works at the end of it
    EXPECT_EQ(GetWindowTextLengthW(app->m_hText), static_cast<int>(big.size()) + 1);
}

TEST(MainWindow, OneUnitIsNeverIdentified)
{
    CTestApp app(CTestApp::LoadTwoProfiles);
    SetWindowTextW(app->m_hResult, L"before");
    SendMessageW(app->m_hText, WM_CHAR, L't', 0);
    ASSERT_TRUE(IsWindowEnabled(app->m_hJudge));
    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);
    EXPECT_EQ(WindowText(app->m_hResult), L"before");
    EXPECT_FALSE(app->m_flashing);
    EXPECT_FALSE(KillTimer(app->m_hWnd, IDT_FLASH));  // no flash was started
}

TEST(MainWindow, VerdictIsTheEnginesLineAndFlashesUntilTimerOneTicks)
{
    CTestApp app(CTestApp::LoadTwoProfiles);
    Type(app->m_hText, kCyrillicText);
    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);

    const std::wstring expected = ExpectedVerdict(*app, kCyrillicText);
    EXPECT_EQ(expected.rfind(L"キリル (Cyrillic test)", 0), 0u);
    EXPECT_EQ(WindowText(app->m_hResult), expected);
    EXPECT_TRUE(app->m_flashing);

    // Inverse video: face-coloured text on a text-coloured ground, with the owned brush.
    LabelColours flash = AskLabelColours(*app);
    EXPECT_EQ(flash.brush, reinterpret_cast<LRESULT>(app->m_hFlashBrush));
    EXPECT_EQ(flash.text, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(flash.background, GetSysColor(COLOR_WINDOWTEXT));
    // A second paint replaces the brush and deletes the previous one.
    HBRUSH first = app->m_hFlashBrush;
    AskLabelColours(*app);
    EXPECT_NE(app->m_hFlashBrush, nullptr);
    if (app->m_hFlashBrush != first)
        EXPECT_EQ(GetObjectType(first), 0u);

    // Another timer changes nothing; timer 1 ends the flash.
    SendMessageW(app->m_hWnd, WM_TIMER, 7, 0);
    EXPECT_TRUE(app->m_flashing);
    SendMessageW(app->m_hWnd, WM_TIMER, IDT_FLASH, 0);
    EXPECT_FALSE(app->m_flashing);
    LabelColours plain = AskLabelColours(*app);
    EXPECT_NE(plain.brush, reinterpret_cast<LRESULT>(app->m_hFlashBrush));
    EXPECT_EQ(WindowText(app->m_hResult), expected);

    // The last flash brush dies with the window.
    HBRUSH last = app->m_hFlashBrush;
    DestroyWindow(app->m_hWnd);
    EXPECT_EQ(app->m_hFlashBrush, nullptr);
    EXPECT_EQ(GetObjectType(last), 0u);
    EXPECT_EQ(app->m_hFont, nullptr);
    EXPECT_EQ(app->m_dropTarget, nullptr);
    EXPECT_EQ(app->m_hWnd, nullptr);
}

TEST(MainWindow, SecondVerdictStartsTheFlashTimerAgain)
{
    CTestApp app(CTestApp::LoadTwoProfiles);
    Type(app->m_hText, kLatinText);
    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);
    SendMessageW(app->m_hWnd, WM_TIMER, IDT_FLASH, 0);
    ASSERT_FALSE(app->m_flashing);
    EXPECT_FALSE(KillTimer(app->m_hWnd, IDT_FLASH));  // stopped after its tick

    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);
    EXPECT_TRUE(app->m_flashing);
    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);
    EXPECT_TRUE(app->m_flashing);
    EXPECT_EQ(WindowText(app->m_hResult), ExpectedVerdict(*app, kLatinText));
    EXPECT_TRUE(KillTimer(app->m_hWnd, IDT_FLASH));  // running again after the verdicts
}

TEST(MainWindow, WithoutProfilesTheLabelSaysCannotIdentifyWithoutFlash)
{
    CTestApp app;
    Type(app->m_hText, kLatinText);
    SendMessageW(app->m_hJudge, BM_CLICK, 0, 0);
    EXPECT_EQ(WindowText(app->m_hResult), L"判定不能");
    EXPECT_FALSE(app->m_flashing);
    EXPECT_FALSE(KillTimer(app->m_hWnd, IDT_FLASH));
}

TEST(MainWindow, OptionCommandsToggleStyleAlphaAndCheckMarkAlsoWithLowBitsSet)
{
    CTestApp app;
    HWND w = app->m_hWnd;
    for (WPARAM low = 0; low < 16; ++low) {
        const bool on = (low % 2) == 0;  // each command flips the option from the state before
        SysCommand(w, IDM_ALWAYSONTOP | low);
        EXPECT_EQ(app->m_alwaysOnTop, on) << low;
        EXPECT_EQ((ExStyle(w) & WS_EX_TOPMOST) != 0, on) << low;
        EXPECT_EQ(IsChecked(w, IDM_ALWAYSONTOP), on) << low;

        SysCommand(w, IDM_TRANSLUCENT | low);
        EXPECT_EQ(app->m_translucent, on) << low;
        EXPECT_EQ((ExStyle(w) & WS_EX_LAYERED) != 0, on) << low;
        if (on)
            EXPECT_EQ(Alpha(w), 204) << low;
        EXPECT_EQ(IsChecked(w, IDM_TRANSLUCENT), on) << low;

        SysCommand(w, IDM_AUTO | low);
        EXPECT_EQ(app->m_auto, on) << low;
        EXPECT_EQ(IsChecked(w, IDM_AUTO), on) << low;
    }
    // Options reach the settings file only when the window closes.
    EXPECT_EQ(GetFileAttributesW(CTestApp::IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(MainWindow, PlatformSystemCommandsGoToTheDefaultProcedure)
{
    CTestApp app;
    SysCommand(app->m_hWnd, SC_CLOSE);
    EXPECT_EQ(app->m_hWnd, nullptr);  // closed, and so destroyed
    // The settings were written with all seven keys.
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"Settings", L"Auto", L"missing", value, 16, CTestApp::IniPath().c_str());
    EXPECT_STREQ(value, L"0");
}

TEST(MainWindow, LayoutFillsTheClientAreaAndHandlesTinySizes)
{
    CTestApp app;
    RECT button = ClientRectOf(app->m_hJudge);
    const int bw = button.right - button.left, bh = button.bottom - button.top;
    ASSERT_GT(bw, 0);
    ASSERT_GT(bh, 0);

    struct Case { int width, height; };
    const Case cases[] = {{300, 200}, {0, 0}, {bw / 2, 200}, {300, bh / 2}, {bw, bh}};
    for (const Case& c : cases) {
        SendMessageW(app->m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        const int y = c.height - bh;
        const RECT b = ClientRectOf(app->m_hJudge), r = ClientRectOf(app->m_hResult), t = ClientRectOf(app->m_hText);
        EXPECT_EQ(b.left, 0);
        EXPECT_EQ(b.top, y) << c.width << "x" << c.height;
        EXPECT_EQ(b.right - b.left, bw);
        EXPECT_EQ(b.bottom - b.top, bh);
        EXPECT_EQ(r.left, bw);
        EXPECT_EQ(r.top, y);
        EXPECT_EQ(r.right - r.left, std::max(c.width - bw, 0)) << c.width << "x" << c.height;
        EXPECT_EQ(r.bottom - r.top, bh);
        EXPECT_EQ(t.left, 0);
        EXPECT_EQ(t.top, 0);
        EXPECT_EQ(t.right - t.left, c.width);
        EXPECT_EQ(t.bottom - t.top, std::max(y, 0)) << c.width << "x" << c.height;
    }
}

TEST(MainWindow, EmptyDropsChangeNothing)
{
    CTestApp app([](CTonguemeter& a) { a.m_auto = true; });
    Type(app->m_hText, L"kept");
    EnableWindow(app->m_hJudge, FALSE);  // a state that a drop would change
    app->OnDropText(L"");
    app->OnDropText(nullptr);
    EXPECT_EQ(WindowText(app->m_hText), L"kept");
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));
}

TEST(MainWindow, DropWithOptionOffTakesAndSelectsTheTextOnly)
{
    CTestApp app(CTestApp::LoadTwoProfiles);
    SetWindowTextW(app->m_hResult, L"previous");
    app->OnDropText(kLatinText);
    EXPECT_EQ(WindowText(app->m_hText), kLatinText);
    DWORD start = 1, end = 0;
    SendMessageW(app->m_hText, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, wcslen(kLatinText));
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    EXPECT_EQ(WindowText(app->m_hResult), L"previous");
    EXPECT_FALSE(app->m_flashing);
}

TEST(MainWindow, DropWithOptionOnIdentifiesAtOnceButNeverOneUnit)
{
    CTestApp app([](CTonguemeter& a) { CTestApp::LoadTwoProfiles(a); a.m_auto = true; });
    app->OnDropText(kCyrillicText);
    EXPECT_EQ(WindowText(app->m_hText), kCyrillicText);
    EXPECT_EQ(WindowText(app->m_hResult), ExpectedVerdict(*app, kCyrillicText));
    EXPECT_TRUE(app->m_flashing);

    SendMessageW(app->m_hWnd, WM_TIMER, IDT_FLASH, 0);
    SetWindowTextW(app->m_hResult, L"previous");
    app->OnDropText(L"z");
    EXPECT_EQ(WindowText(app->m_hText), L"z");
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    EXPECT_EQ(WindowText(app->m_hResult), L"previous");
    EXPECT_FALSE(app->m_flashing);
}

// Refuses the creation of the first window with control id 100 on this thread.
LRESULT CALLBACK VetoInputBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->hMenu == reinterpret_cast<HMENU>(100))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(MainWindow, WithoutItsInputBoxTheWindowIsNotCreatedButSettingsAreWritten)
{
    HHOOK hook = nullptr;
    CTestApp app([&](CTonguemeter&) { hook = SetWindowsHookExW(WH_CBT, VetoInputBox, nullptr, GetCurrentThreadId()); });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(app->m_hWnd, nullptr);
    EXPECT_EQ(app->m_hText, nullptr);
    EXPECT_EQ(app->m_hJudge, nullptr);  // nothing after the input box was made
    EXPECT_EQ(app->m_dropTarget, nullptr);
    EXPECT_EQ(app->m_hFont, nullptr);   // deleted by the teardown of the partly built window
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"Settings", L"WindowWidth", L"missing", value, 16, CTestApp::IniPath().c_str());
    EXPECT_STREQ(value, L"400");
}

TEST(MainWindow, ClassWindowWithoutApplicationObjectIsRefused)
{
    CTestApp app;
    HWND window = CreateWindowExW(0, TM_CLASS_NAME, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(window, nullptr);
}
