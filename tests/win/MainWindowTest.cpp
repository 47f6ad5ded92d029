// The main window in this process: controls, system menu, start bounds, options, identification and
// the flash (its timer driven with WM_TIMER), the layout with the whole verdict readable, and the DPI.
#include "WindowTestSupport.h"

#include "Dpi.h"
#include "LanguageTable.h"
#include "../../res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

namespace {

using Box = std::array<int, 4>;  // x, y, width, height

// A child's bounds in its parent's client coordinates.
Box Bounds(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Replaces the selection, or with `over` the whole text, as a paste does.
void Paste(HWND edit, const wchar_t* text, bool over = false)
{
    if (over)
        SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

// The label is not scrolled and the lines it wrapped its text to fit its formatting rectangle, in its
// own font (fonts differ between platforms, so no pixel count is fixed here). It wraps at its width:
// its style, without ES_AUTOHSCROLL, is the creation test's.
testing::AssertionResult ShowsWhole(HWND label)
{
    RECT format = {}, client = {};
    SendMessageW(label, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    GetClientRect(label, &client);
    const int formatHeight = std::min(format.bottom, client.bottom) - format.top;
    const int lineHeight = CFontDC(label, FontOf(label)).Metrics().tmHeight;
    const int lines = static_cast<int>(SendMessageW(label, EM_GETLINECOUNT, 0, 0));
    if (const LRESULT first = SendMessageW(label, EM_GETFIRSTVISIBLELINE, 0, 0))
        return testing::AssertionFailure() << "scrolled to line " << first;
    if (lines * lineHeight > formatHeight)
        return testing::AssertionFailure() << lines << " lines of " << lineHeight << " px in " << formatHeight << " px";
    return testing::AssertionSuccess();
}

// The catalogue's display names, the widest in the label's font first.
std::vector<const char16_t*> NamesByWidth(HWND label)
{
    CFontDC dc(label, FontOf(label));
    auto width = [&](const char16_t* name) {
        SIZE size = {};
        GetTextExtentPoint32W(dc.Get(), AsWide(name), lstrlenW(AsWide(name)), &size);
        return size.cx;
    };
    std::vector<const char16_t*> names;
    for (const LanguageRow& row : LanguageTable)
        names.push_back(row.displayName);
    std::stable_sort(names.begin(), names.end(), [&](const char16_t* a, const char16_t* b) { return width(a) > width(b); });
    return names;
}

// For client size `width` x `height` (by default the present one: whatever changed the size or the
// label's text has laid the window out again): the input box above a bottom strip at least as tall as
// the button, the button at the strip's top-left corner and the label over the rest of the strip. A
// label that does not show its whole text has had all the input box can give.
void ExpectLayout(CTonguemeter& app, int width = -1, int height = -1)
{
    RECT client = {};
    GetClientRect(app.m_hWnd, &client);
    if (width < 0)
        width = client.right, height = client.bottom;
    const Box button = Bounds(app.m_hJudge), label = Bounds(app.m_hResult);
    const int bw = button[2], bh = button[3], y = button[1];
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    EXPECT_GE(height - y, bh) << size;
    EXPECT_EQ(label, (Box{bw, y, std::max(width - bw, 0), height - y})) << size;
    EXPECT_EQ(Bounds(app.m_hText), (Box{0, 0, width, std::max(y, 0)})) << size;
    if (label[2] > 0 && !ShowsWhole(app.m_hResult)) {
        EXPECT_LE(y, bh) << size << ": the label is cut while the input box is taller than a button";
    }
}

// The result label's brush, text and background colour.
std::tuple<LRESULT, COLORREF, COLORREF> AskLabelColours(CTonguemeter& app)
{
    HDC dc = CreateCompatibleDC(nullptr);
    const LRESULT brush = SendMessageW(app.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(app.m_hResult));
    const auto colours = std::make_tuple(brush, GetTextColor(dc), GetBkColor(dc));
    DeleteDC(dc);
    return colours;
}

const wchar_t kRussianText[] = L"Сегодня с утра была хорошая погода, поэтому мы гуляли вдоль реки.";

// What CreateWindowExW was asked for, by parent: the class name (without the version that the
// manifest adds, "6.0...!Edit", in capitals), text, style, extended style (without the edge the
// platform adds), id and bounds. The controls change their styles afterwards (an edit control takes
// WS_BORDER off and draws its own).
using Creation = std::tuple<std::wstring, std::wstring, DWORD, DWORD, INT_PTR, Box>;
std::vector<std::pair<HWND, Creation>> g_created;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        std::wstring cls = IS_INTRESOURCE(cs->lpszClass) ? L"#atom" : cs->lpszClass;
        cls = cls.substr(cls.find(L'!') + 1);
        CharUpperBuffW(&cls[0], static_cast<DWORD>(cls.size()));
        g_created.push_back({cs->hwndParent, {cls, cs->lpszName ? cs->lpszName : L"", static_cast<DWORD>(cs->style),
                                              cs->dwExStyle & ~WS_EX_WINDOWEDGE, reinterpret_cast<INT_PTR>(cs->hMenu),
                                              Box{cs->x, cs->y, cs->cx, cs->cy}}});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The four options: system-menu command, field, window style and settings key.
struct Option { UINT command; bool CTonguemeter::*field; DWORD exStyle; const wchar_t* key; };
const Option kOptions[] = {{IDM_ALWAYSONTOP, &CTonguemeter::m_alwaysOnTop, WS_EX_TOPMOST, L"AlwaysOnTop"},
                           {IDM_TRANSLUCENT, &CTonguemeter::m_translucent, WS_EX_LAYERED, L"Translucent"},
                           {IDM_AUTO, &CTonguemeter::m_auto, 0, L"Auto"},
                           {IDM_CLIPBOARD, &CTonguemeter::m_clipboard, 0, L"Clipboard"}};

// Field, window style, check mark and (for translucency) alpha 204 agree with `on`.
void ExpectOptions(CTonguemeter& app, const std::array<bool, 4>& on, int step)
{
    for (int k = 0; k < 4; ++k) {
        const Option& o = kOptions[k];
        SCOPED_TRACE(Utf8(o.key) + " at step " + std::to_string(step));
        EXPECT_EQ(app.*o.field, on[k]);
        EXPECT_EQ((GetWindowLongPtrW(app.m_hWnd, GWL_EXSTYLE) & o.exStyle) != 0, on[k] && o.exStyle);
        // Found by id: wine appends an entry of its own to the system menu.
        EXPECT_EQ((GetMenuState(GetSystemMenu(app.m_hWnd, FALSE), o.command, MF_BYCOMMAND) & MF_CHECKED) != 0, on[k]);
    }
    EXPECT_EQ(Alpha(app.m_hWnd), on[1] ? 204 : 0) << "at step " << step;
}

// Refuses the creation of the input box on this thread.
LRESULT CALLBACK VetoInputBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND &&
        reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->hMenu == reinterpret_cast<HMENU>(IDC_TEXT))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int FontHeight(UINT dpi)
{
    LOGFONTW font = {};
    MessageFontForDpi(dpi, font);
    return std::abs(font.lfHeight);
}

// The button: its padding (32 x 12 at 96 DPI) scaled for the window's DPI around the font's size.
void ExpectButtonFor(CTonguemeter& app)
{
    const TEXTMETRICW metrics = CFontDC(app.m_hJudge, app.m_font.Get()).Metrics();
    const Box button = Bounds(app.m_hJudge);
    EXPECT_EQ(button[2], 2 * metrics.tmMaxCharWidth + ScaleForDpi(32, app.m_dpi));
    EXPECT_EQ(button[3], metrics.tmHeight + ScaleForDpi(12, app.m_dpi));
}

using GetProcAddressFunction = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFunction g_realGetProcAddress = nullptr;

// The platform as before Windows 8.1 and 10: no per-DPI functions.
FARPROC WINAPI WithoutPerDpiFunctions(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && (std::strstr(name, "ForDpi") || std::strstr(name, "GetDpiFor")))
        return nullptr;
    return g_realGetProcAddress(module, name);
}

}  // namespace

// The window and its controls as made, from stored bounds with no width, off the screen: the window at
// the default size, centred on the screen's work area (every rule of StartBounds: the settings tests).
TEST(MainWindow, CreationMakesTheWindowItsThreeControlsAndTheMenuExactly)
{
    g_created.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
    CTestApp app([](CTonguemeter& a) { a.m_windowLeft = 100000, a.m_windowWidth = 0; });
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(IsWindowVisible(app->m_hWnd));  // the entry shows it
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));

    // In this order, with exactly these styles, the controls at (0, 0) with size 0 x 0; the platform
    // may make helper windows of its own meanwhile.
    MONITORINFO screen = {sizeof(screen)};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(app->m_hWnd, MONITOR_DEFAULTTOPRIMARY), &screen));
    const RECT& work = screen.rcWork;
    const Box centred = {(work.left + work.right - 400) / 2, (work.top + work.bottom - 160) / 2, 400, 160};
    std::vector<Creation> ours;
    for (const auto& [parent, made] : g_created)
        if (std::get<0>(made) == L"TONGUEMETER MAIN WINDOW" || parent == app->m_hWnd)
            ours.push_back(made);
    EXPECT_EQ(ours, (std::vector<Creation>{{L"TONGUEMETER MAIN WINDOW", L"Tonguemeter", 0x02CF0000, 0, 0, centred},
                                           {L"EDIT", L"", 0x54200044, WS_EX_CLIENTEDGE, IDC_TEXT, {}},
                                           {L"BUTTON", L"判定", 0x5C000000, 0, IDC_JUDGE, {}},
                                           {L"EDIT", L"", 0x54800804, 0, IDC_RESULT, {}}}));
    for (HWND control : {app->m_hText, app->m_hJudge, app->m_hResult})
        EXPECT_EQ(FontOf(control), app->m_font.Get());

    // The system menu ends with our seven entries (separators as "-"); wine may append one after them.
    HMENU menu = GetSystemMenu(app->m_hWnd, FALSE);
    std::vector<std::pair<UINT, std::wstring>> entries;
    for (int i = 0; i < GetMenuItemCount(menu) && (entries.empty() || entries.back().first != IDM_ABOUT); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        entries.push_back({GetMenuItemID(menu, i), GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR ? L"-" : text});
    }
    ASSERT_GE(entries.size(), 7u);
    EXPECT_EQ(std::vector(entries.end() - 7, entries.end()), (std::vector<std::pair<UINT, std::wstring>>{
        {0, L"-"}, {IDM_ALWAYSONTOP, L"常に前面に表示"}, {IDM_TRANSLUCENT, L"半透明表示"}, {IDM_AUTO, L"ドロップ時に即判定"},
        {IDM_CLIPBOARD, L"クリップボードを監視"}, {0, L"-"}, {IDM_ABOUT, L"バージョン情報..."}}));
}

// Options read at start-up shape the window from its creation; each command flips one, whatever its
// four low bits, and the settings file sees them only when the window closes.
TEST(MainWindow, OptionsShapeTheWindowFromTheStartAndToggleWithAnyLowBits)
{
    using Options = std::array<bool, 4>;  // in the order of kOptions
    for (const Options& start : {Options{true, true, false, true}, Options{false, false, true, false}}) {
        CTestApp app([&](CTonguemeter& a) {
            for (int k = 0; k < 4; ++k)
                a.*kOptions[k].field = start[k];
        });
        ExpectOptions(*app, start, -1);
        Options on = start;
        for (WPARAM low = 0; low < 16; ++low)
            for (int k = 0; k < 4; ++k) {
                SendMessageW(app->m_hWnd, WM_SYSCOMMAND, kOptions[k].command | low, 0);
                on[k] = !on[k];
                ExpectOptions(*app, on, static_cast<int>(low));
            }
        EXPECT_EQ(GetFileAttributesW(CTestApp::IniPath().c_str()), INVALID_FILE_ATTRIBUTES);

        // A platform command goes to the default procedure: this one closes the window.
        SendMessageW(app->m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(app->m_hWnd, nullptr);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(GetPrivateProfileIntW(L"Settings", kOptions[k].key, 7, CTestApp::IniPath().c_str()),
                      start[k] ? 1u : 0u) << k;
    }
}

// Long pastes arrive whole; without profiles nothing flashes, with them the verdict is the engine's
// line and flashes until timer 1 ticks.
TEST(MainWindow, PastesArriveWholeAndTheVerdictIsTheEnginesLineAndFlashesUntilTimerOneTicks)
{
    const long before = LiveAllocations();
    {
        CTestApp app;
        // An edit control takes only 32,767 units by default and cuts a paste off silently.
        std::wstring big;
        while (big.size() < 3 * 1024 * 1024)
            big += L"A line of pasted text that goes on and on. ";
        Paste(app->m_hText, big.c_str());
        Paste(app->m_hText, L"!");
        EXPECT_EQ(GetWindowTextLengthW(app->m_hText), static_cast<int>(big.size()) + 1);
        EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
        Paste(app->m_hText, L"the lazy dog jumps over the quick brown fox", true);
        Click(app->m_hJudge);
        EXPECT_EQ(WindowText(app->m_hResult), L"判定不能");
        EXPECT_FALSE(app->m_flashing);
        EXPECT_FALSE(KillTimer(app->m_hWnd, IDT_FLASH));

        app->LoadLanguages();
        Paste(app->m_hText, kRussianText, true);
        Click(app->m_hJudge);
        const std::wstring expected = VerdictOf(*app, kRussianText);
        EXPECT_EQ(expected.rfind(L"ロシア語 (Russian)", 0), 0u);
        EXPECT_EQ(WindowText(app->m_hResult), expected);
        EXPECT_TRUE(app->m_flashing);

        // Inverse video with the owned brush; a second paint replaces the brush and deletes the first.
        const auto flash = AskLabelColours(*app);  // makes the brush
        EXPECT_EQ(flash, std::make_tuple(reinterpret_cast<LRESULT>(app->m_flashBrush.Get()), GetSysColor(COLOR_BTNFACE),
                                         GetSysColor(COLOR_WINDOWTEXT)));
        HBRUSH first = app->m_flashBrush.Get();
        AskLabelColours(*app);
        if (app->m_flashBrush.Get() != first) {
            EXPECT_EQ(GetObjectType(first), 0u);
        }

        // Another timer changes nothing; timer 1 ends the flash and stops.
        SendMessageW(app->m_hWnd, WM_TIMER, 7, 0);
        EXPECT_TRUE(app->m_flashing);
        SendMessageW(app->m_hWnd, WM_TIMER, IDT_FLASH, 0);
        EXPECT_FALSE(app->m_flashing);
        EXPECT_FALSE(KillTimer(app->m_hWnd, IDT_FLASH));
        EXPECT_NE(std::get<0>(AskLabelColours(*app)), reinterpret_cast<LRESULT>(app->m_flashBrush.Get()));
        EXPECT_EQ(WindowText(app->m_hResult), expected);

        // The next verdict flashes and starts the timer again.
        Click(app->m_hJudge);
        EXPECT_TRUE(app->m_flashing);
        EXPECT_TRUE(KillTimer(app->m_hWnd, IDT_FLASH));

        // The last flash brush, the font and the drop target go with the window; the font only once
        // the three controls that draw with it are gone.
        HBRUSH lastBrush = app->m_flashBrush.Get();
        CFontWatch watch;
        watch.m_font = app->m_font.Get();
        DestroyWindow(app->m_hWnd);
        EXPECT_EQ(std::make_pair(watch.m_endedWithFont, watch.m_endedWithoutFont), std::make_pair(3, 0));
        EXPECT_EQ(GetObjectType(lastBrush), 0u);
        EXPECT_EQ(GetObjectType(watch.m_font), 0u);
        EXPECT_EQ(app->m_dropTarget, nullptr);
    }
    // Every profile is freed also when the window existed.
    EXPECT_EQ(before, LiveAllocations());
}

// Verdicts of one language, of three with the widest names in the label's font, and the longest
// line there is: runners-up with the widest names until it passes 224 units (the fourth record 0.01
// behind keeps it from being a tie). Each is set while the window has each size.
TEST(MainWindow, TheLabelGetsTheLinesItsTextNeedsSoTheWholeVerdictShows)
{
    CTestApp app;
    const std::vector<const char16_t*> names = NamesByWidth(app->m_hResult);
    std::vector<LangScore> records;
    for (size_t i = 0; i < names.size(); ++i)
        records.push_back({names[i], i == 0 ? 1.0 : i < 3 ? 0.999 : 0.99});
    const LangScore english = {u"英語 (English)", 1.0};
    const std::wstring one = VerdictFor(&english, 1), three = VerdictFor(records.data(), 3);
    const std::wstring longest = VerdictFor(records.data(), static_cast<int>(records.size()));
    ASSERT_EQ(std::count(three.begin(), three.end(), L'か'), 2) << Utf8(three);
    ASSERT_GT(longest.size(), 224u);

    // The longest line shows whole at the default size and in the tall window; elsewhere it may be
    // cut once the input box has given all it can (ExpectLayout), and then the label scrolls.
    struct Size { int width, height; bool longestWhole; };
    for (const Size& size : {Size{400, 160, true}, Size{300, 160, false}, Size{220, 160, false}, Size{220, 400, true}}) {
        SetWindowPos(app->m_hWnd, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER);
        for (const std::wstring* verdict : {&one, &three, &longest}) {
            SetWindowTextW(app->m_hResult, verdict->c_str());
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + ", " +
                         std::to_string(verdict->size()) + " units");
            ExpectLayout(*app);
            if (verdict != &longest || size.longestWhole)
                EXPECT_TRUE(ShowsWhole(app->m_hResult));
            else if (!ShowsWhole(app->m_hResult)) {
                SendMessageW(app->m_hResult, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
                EXPECT_GT(SendMessageW(app->m_hResult, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
            }
            // At the default size the three candidates take more than one line.
            if (size.width == 400 && verdict == &three) {
                EXPECT_GT(SendMessageW(app->m_hResult, EM_GETLINECOUNT, 0, 0), 1);
            }
        }
        // One line keeps the strip as tall as the button.
        SetWindowTextW(app->m_hResult, one.c_str());
        EXPECT_EQ(Bounds(app->m_hResult)[3], Bounds(app->m_hJudge)[3]);
    }

    // Client areas narrower or lower than the button, minimised (0 x 0) among them.
    const Box button = Bounds(app->m_hJudge);
    const int bw = button[2], bh = button[3];
    const std::pair<int, int> tiny[] = {{0, 0}, {bw / 2, 200}, {300, bh / 2}, {bw, bh}};
    for (const auto& [width, height] : tiny) {
        SendMessageW(app->m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
        EXPECT_EQ(Bounds(app->m_hJudge), (Box{0, height - bh, bw, bh})) << width << "x" << height;
        ExpectLayout(*app, width, height);
    }
}

TEST(MainWindow, RefusedCreationsLeaveNoWindowButTheTeardownRuns)
{
    {
        CTestApp app;  // registers the class
        EXPECT_EQ(CreateWindowExW(0, TM_CLASS_NAME, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr), nullptr);  // no application object
    }
    std::unique_ptr<CThreadHook> hook;
    CTestApp app([&](CTonguemeter&) { hook.reset(new CThreadHook(WH_CBT, VetoInputBox)); });
    hook.reset();
    EXPECT_EQ(app->m_hWnd, nullptr);
    EXPECT_EQ(app->m_hText, nullptr);
    EXPECT_EQ(app->m_hJudge, nullptr);  // nothing after the input box was made
    EXPECT_EQ(app->m_dropTarget, nullptr);
    EXPECT_EQ(app->m_font.Get(), nullptr);  // deleted by the teardown of the partly built window
    EXPECT_EQ(GetPrivateProfileIntW(L"Settings", L"WindowWidth", 7, CTestApp::IniPath().c_str()), 400u);
}

// ---- Scaling: the window made for its DPI

// Also run at 144 and 192 DPI by the window_tests_at_*_dpi tests (TM_EXPECT_DPI then names the DPI
// the platform must report). Without settings the window opens at the default size for the DPI, with
// the message font for it, and shows a three-candidate verdict whole. A move to a monitor of another
// DPI makes the font again for it, resizes the button, takes the suggested rectangle and lays
// everything out again; moving back restores the first font.
TEST(MainWindow, ReadyWindowVerdictAndDpiChangesAtThisDpi)
{
    const UINT dpi = SystemDpi();
    if (const char* expected = std::getenv("TM_EXPECT_DPI")) {
        ASSERT_EQ(dpi, static_cast<UINT>(std::atoi(expected))) << "the platform did not take the DPI";
    }
    CTestApp app;
    EXPECT_EQ(app->m_dpi, dpi);
    EXPECT_EQ(DpiOfWindow(app->m_hWnd), dpi);
    EXPECT_EQ(Bounds(app->m_hWnd), (Box{0, 0, ScaleForDpi(400, dpi), ScaleForDpi(160, dpi)}));
    EXPECT_NEAR(FontHeight(dpi), ScaleForDpi(FontHeight(96), dpi), 1);
    EXPECT_EQ(std::abs(app->m_messageFont.lfHeight), FontHeight(dpi));
    ExpectButtonFor(*app);

    app->LoadLanguages();
    EXPECT_EQ(WindowText(app->m_hResult), TM_TEXT_READY);
    ExpectLayout(*app);
    EXPECT_TRUE(ShowsWhole(app->m_hResult));

    const std::vector<const char16_t*> names = NamesByWidth(app->m_hResult);  // the widest three
    const LangScore records[] = {{names[0], 1.0}, {names[1], 0.999}, {names[2], 0.999}};
    SetWindowTextW(app->m_hResult, VerdictFor(records, 3).c_str());
    ExpectLayout(*app);
    EXPECT_TRUE(ShowsWhole(app->m_hResult)) << Utf8(WindowText(app->m_hResult));
    for (UINT other : {192u, 144u, dpi}) {  // windows that fit the test screen
        SCOPED_TRACE(other);
        HFONT before = app->m_font.Get();
        const RECT suggested = {30, 40, 30 + ScaleForDpi(400, other), 40 + ScaleForDpi(160, other)};
        SendMessageW(app->m_hWnd, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(app->m_dpi, other);
        EXPECT_EQ(Bounds(app->m_hWnd), (Box{30, 40, ScaleForDpi(400, other), ScaleForDpi(160, other)}));
        EXPECT_NE(app->m_font.Get(), before);
        EXPECT_EQ(GetObjectType(before), 0u);  // the old font is gone, none of the controls uses it
        for (HWND control : {app->m_hText, app->m_hJudge, app->m_hResult})
            EXPECT_EQ(FontOf(control), app->m_font.Get());
        EXPECT_EQ(std::abs(app->m_messageFont.lfHeight), FontHeight(other));
        ExpectButtonFor(*app);
        ExpectLayout(*app);
        EXPECT_TRUE(ShowsWhole(app->m_hResult));
    }
}

// Without the per-DPI functions the window takes the system DPI, and a font for another DPI is the
// system's message font scaled.
TEST(MainWindow, WithoutThePerDpiFunctionsTheSystemFontIsScaled)
{
    CImportPatch patch("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(WithoutPerDpiFunctions));
    ASSERT_NE(patch.m_slot, nullptr);
    g_realGetProcAddress = reinterpret_cast<GetProcAddressFunction>(patch.m_original);
    NONCLIENTMETRICSW metrics = {sizeof(metrics)};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    const UINT dpi = SystemDpi();
    LOGFONTW font = {};
    ASSERT_TRUE(MessageFontForDpi(2 * dpi, font));
    EXPECT_EQ(font.lfHeight, 2 * metrics.lfMessageFont.lfHeight);
    CTestApp app;
    EXPECT_EQ(app->m_dpi, dpi);
    EXPECT_EQ(app->m_messageFont.lfHeight, metrics.lfMessageFont.lfHeight);
}
