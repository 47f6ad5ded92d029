// The About box (dialog 10's template and the running dialog, its link opening through a recorder
// instead of the browser) and the version resource, the icon group and the manifest.
#include "WindowTestSupport.h"

#include "AboutBox.h"
#include "Dpi.h"
#include "../../res/resource.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const void* ResourceBytes(const wchar_t* type, int id, DWORD* size = nullptr)
{
    HRSRC found = FindResourceExW(nullptr, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (size)
        *size = found ? SizeofResource(nullptr, found) : 0;
    return found ? LockResource(LoadResource(nullptr, found)) : nullptr;
}

// A string or ordinal of a dialog template; an ordinal reads "#n", or the name of a predefined class.
const WORD* ReadText(const WORD* p, std::wstring& out, bool isClass = false)
{
    static const wchar_t* const kClasses[] = {L"BUTTON", L"EDIT", L"STATIC", L"LISTBOX", L"SCROLLBAR", L"COMBOBOX"};
    if (*p == 0xFFFF) {
        out = isClass && p[1] >= 0x80 && p[1] <= 0x85 ? kClasses[p[1] - 0x80] : L"#" + std::to_wstring(p[1]);
        return p + 2;
    }
    for (out.clear(); *p; ++p)
        out += static_cast<wchar_t>(*p);
    return p + 1;
}

// ShellExecuteW's stand-in: one line a call.
std::vector<std::wstring> g_openCalls;

HINSTANCE WINAPI RecordOpen(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show)
{
    g_openCalls.push_back(std::wstring(verb) + L" " + file + (parameters ? L" +parameters" : L"") +
                          (directory ? L" +directory" : L"") + (owner ? L" +owner" : L"") +
                          L" show " + std::to_wstring(show));
    return reinterpret_cast<HINSTANCE>(33);
}

// Runs an action, which must end the dialog, with the open About box from inside its modal loop: a
// thread timer's message is dispatched there once the dialog waits for input.
std::function<void(HWND)> g_inside;
bool g_ranInside = false;

void CALLBACK RunInside(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND dialog = FindWindowW(L"#32770", nullptr);  // the only dialog of the test's own wine prefix
    if ((g_ranInside = dialog != nullptr))
        g_inside(dialog);
}

void WhenTheDialogOpens(std::function<void(HWND)> inside)
{
    g_inside = std::move(inside);
    g_ranInside = false;
    SetTimer(nullptr, 0, 0, RunInside);
}

class AboutBox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_openCalls.clear();
        g_openAddress = RecordOpen;
    }
    void TearDown() override
    {
        g_openAddress = ShellExecuteW;
        PumpMessages();
    }

    // Opens the About box without owner and runs `inside` in it; the dialog's result.
    INT_PTR RunAbout(std::function<void(HWND)> inside)
    {
        WhenTheDialogOpens(std::move(inside));
        const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                                               AboutDlgProc, 12345);
        EXPECT_TRUE(g_ranInside) << "no About box open";
        return result;
    }
};

}  // namespace

TEST(AboutTemplate, ClassicDialogWithExactHeaderAndControls)
{
    const auto* header = static_cast<const DLGTEMPLATE*>(ResourceBytes(RT_DIALOG, IDD_ABOUT));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ((std::array<DWORD, 6>{header->style, header->dwExtendedStyle, DWORD(header->x), DWORD(header->y),
                                    DWORD(header->cx), DWORD(header->cy)}),
              (std::array<DWORD, 6>{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                                    0, 0, 0, 160, 62}));
    // The classic header is followed by menu, class and caption, then (DS_SETFONT) size and face.
    std::wstring menu, cls, caption, face;
    const WORD* p = ReadText(ReadText(ReadText(reinterpret_cast<const WORD*>(header + 1), menu), cls), caption);
    const WORD pointSize = *p++;
    p = ReadText(p, face);
    EXPECT_EQ(menu + cls + L"|" + caption + L"|" + std::to_wstring(pointSize) + L"|" + face,
              L"|バージョン情報|9|ＭＳ Ｐゴシック");

    // Style; x, y, width, height and id; class; text.
    struct Item { DWORD style; std::array<int, 5> place; const wchar_t* cls; std::wstring text; };
    const Item expected[] = {
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, {56, 40, 48, 14, IDOK}, L"BUTTON", L"OK"},
        {WS_CHILD | WS_VISIBLE | SS_ICON, {8, 8, 16, 16, -1}, L"STATIC", L"#1"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER, {32, 8, 120, 16, -1}, L"STATIC",
         L"Tonguemeter ver.0.1.0\nCopyright (C) 2026 Tonguemeter"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOTIFY | SS_CENTER, {44, 24, 96, 9, IDC_LINK}, L"STATIC", g_homePage},
    };
    ASSERT_EQ(header->cdit, 4);
    for (const Item& e : expected) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        std::wstring className, text;
        p = ReadText(ReadText(reinterpret_cast<const WORD*>(item + 1), className, true), text);
        p += 1 + *p / sizeof(WORD);  // creation data
        SCOPED_TRACE(Utf8(e.text));
        EXPECT_EQ(item->style, e.style);
        EXPECT_EQ((std::array<int, 5>{item->x, item->y, item->cx, item->cy, static_cast<short>(item->id)}), e.place);
        EXPECT_EQ(_wcsicmp(className.c_str(), e.cls), 0);
        EXPECT_EQ(text, e.text);
    }
}

// Run again at 144 and 192 DPI by the window_tests_at_*_dpi tests.
TEST_F(AboutBox, ShowsItsTextsWholeAtItsDpiAndABlueUnderlinedLinkThatOpensTheHomePageOnClick)
{
    const INT_PTR result = RunAbout([](HWND dialog) {
        HWND link = GetDlgItem(dialog, IDC_LINK);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDOK);  // the default button has the focus

        // The dialog's 9-point font made for the DPI; the link's own font is the dialog's, underlined.
        auto expectLinkFont = [&] {
            LOGFONTW linkLog = {}, dialogLog = {};
            EXPECT_EQ(FontOf(link), g_linkFont);
            ASSERT_EQ(GetObjectW(g_linkFont, sizeof(linkLog), &linkLog), static_cast<int>(sizeof(linkLog)));
            GetObjectW(FontOf(dialog), sizeof(dialogLog), &dialogLog);
            EXPECT_EQ(std::abs(dialogLog.lfHeight), MulDiv(9, static_cast<int>(SystemDpi()), 72));
            EXPECT_EQ((std::array<LONG, 2>{linkLog.lfUnderline, dialogLog.lfUnderline}), (std::array<LONG, 2>{1, 0}));
            EXPECT_EQ(linkLog.lfHeight, dialogLog.lfHeight);
            EXPECT_STREQ(linkLog.lfFaceName, dialogLog.lfFaceName);
        };
        expectLinkFont();
        // After a DPI change the link's font is made again, once the dialog manager has had the message.
        HFONT before = g_linkFont;
        RECT suggested = {};
        GetWindowRect(dialog, &suggested);
        SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(SystemDpi(), SystemDpi()), reinterpret_cast<LPARAM>(&suggested));
        PumpMessages();
        EXPECT_NE(g_linkFont, before);
        EXPECT_EQ(GetObjectType(before), 0u);
        expectLinkFont();

        // Blue on the dialog's own background for the link; default colours for the others.
        HDC dc = CreateCompatibleDC(nullptr);
        EXPECT_EQ(SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link)),
                  reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(std::make_pair(GetTextColor(dc), GetBkMode(dc)), std::make_pair(RGB(0, 0, 255), TRANSPARENT));
        DeleteDC(dc);
        EXPECT_EQ(AboutDlgProc(dialog, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK))), FALSE);

        // The hand over the link only.
        EXPECT_EQ(AboutDlgProc(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), HTCLIENT), TRUE);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
        EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_MSGRESULT), TRUE);
        EXPECT_EQ(AboutDlgProc(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog), HTCLIENT), FALSE);

        // The name, copyright and link texts show whole in their controls.
        for (HWND control : {GetWindow(link, GW_HWNDPREV), link}) {
            RECT client = {}, needed = {};
            GetClientRect(control, &client);
            needed.right = client.right;
            DrawTextW(CFontDC(control, FontOf(control)).Get(), WindowText(control).c_str(), -1, &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
            EXPECT_TRUE(needed.right <= client.right && needed.bottom <= client.bottom) << GetDlgCtrlID(control);
        }

        // A double click and other commands open nothing; a real click opens the page once.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LINK, STN_DBLCLK), reinterpret_cast<LPARAM>(link));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, 0), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK + 50, 0), 0);
        EXPECT_TRUE(g_openCalls.empty());
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        EXPECT_TRUE(IsWindow(dialog));  // stays open
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(g_openCalls, std::vector<std::wstring>{L"open " + std::wstring(g_homePage) + L" show 1"});
}

// OK ends with 1 and Cancel (Esc, the caption's close button) with 2, whatever the notification; each
// opening makes a fresh link font that dies with the dialog, once its four controls are gone.
TEST_F(AboutBox, OkOrCancelEndItAndEveryOpeningHasItsOwnLinkFont)
{
    const struct { const char* what; UINT message; WPARAM wParam; INT_PTR result; } ends[] = {
        {"OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK},
        {"Cancel, another notification", WM_COMMAND, MAKEWPARAM(IDCANCEL, 7), IDCANCEL},
        {"the caption's close button", WM_SYSCOMMAND, SC_CLOSE, IDCANCEL}};
    for (const auto& e : ends) {
        SCOPED_TRACE(e.what);
        CFontWatch watch;
        EXPECT_EQ(RunAbout([&](HWND dialog) {
            watch.m_font = FontOf(GetDlgItem(dialog, IDC_LINK));
            EXPECT_EQ(GetObjectType(watch.m_font), static_cast<DWORD>(OBJ_FONT));
            SendMessageW(dialog, e.message, e.wParam, 0);
        }), e.result);
        EXPECT_EQ(g_linkFont, nullptr);
        EXPECT_EQ(GetObjectType(watch.m_font), 0u);
        EXPECT_EQ(std::make_pair(watch.m_endedWithFont, watch.m_endedWithoutFont), std::make_pair(4, 0));
    }
    EXPECT_TRUE(g_openCalls.empty());
}

TEST_F(AboutBox, OpensFromTheSystemMenuAtTheOwnersClientCorner)
{
    CTestApp app;
    SetWindowPos(app->m_hWnd, nullptr, 40, 30, 400, 160, SWP_NOZORDER);
    ShowWindow(app->m_hWnd, SW_SHOWNOACTIVATE);
    WhenTheDialogOpens([&](HWND dialog) {
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), app->m_hWnd);
        EXPECT_FALSE(IsWindowEnabled(app->m_hWnd));  // the owner takes no input meanwhile
        // Position 0, 0 without centring: the dialog's client area starts at the owner's.
        POINT corner = {0, 0}, dialogCorner = {0, 0};
        ClientToScreen(app->m_hWnd, &corner);
        ClientToScreen(dialog, &dialogCorner);
        EXPECT_EQ(std::make_pair(dialogCorner.x, dialogCorner.y), std::make_pair(corner.x, corner.y));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(SendMessageW(app->m_hWnd, WM_SYSCOMMAND, IDM_ABOUT | 0xF, 0), 0);  // any of the low bits
    EXPECT_TRUE(g_ranInside);
    EXPECT_TRUE(IsWindowEnabled(app->m_hWnd));
}

// The version resource as released, the icon group's three images, and a manifest that asks for
// common controls 6 of the program's own architecture.
TEST(Resources, VersionIconGroupAndManifestAsReleased)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    // From the file version to the file date: 0.1.2.0 twice, flags mask, flags, OS, type, subtype, date.
    const std::vector<DWORD> numbers(&fixed->dwFileVersionMS, &fixed->dwFileDateLS + 1);
    EXPECT_EQ(numbers, (std::vector<DWORD>{1, 0x20000, 1, 0x20000, 0x3F, 0, VOS__WINDOWS32, VFT_APP, 0, 0, 0}));

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"Comments", L"Language identifier"}, {L"CompanyName", L"Tonguemeter developers"},
        {L"FileDescription", L"Tonguemeter"}, {L"FileVersion", L"0.1.0"}, {L"InternalName", L"Tonguemeter"},
        {L"LegalCopyright", L"Copyright (C) 2026 Tonguemeter"}, {L"OriginalFilename", L"Tonguemeter.exe"},
        {L"ProductName", L"Tonguemeter"}, {L"ProductVersion", L"0.1.0"},
    };
    for (const auto& [key, expected] : strings) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
        ASSERT_TRUE(VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << Utf8(key);
        EXPECT_STREQ(value, expected);
    }
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(std::vector<WORD>(translation, translation + length / 2), (std::vector<WORD>{0x0411, 1200}));

    // GRPICONDIR: a 6-byte header with the count at 4, then 14-byte entries: width, height, colours,
    // reserved, planes, bits.
    const BYTE* group = static_cast<const BYTE*>(ResourceBytes(RT_GROUP_ICON, IDI_APP));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group[4] | group[5] << 8, 3);
    const std::array<int, 4> images[] = {{16, 16, 16, 4}, {32, 32, 0, 8}, {48, 48, 0, 8}};
    for (int i = 0; i < 3; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        EXPECT_EQ((std::array<int, 4>{entry[0], entry[1], entry[2], entry[6] | entry[7] << 8}), images[i]);
    }
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP)), nullptr);

    DWORD size = 0;
    const char* bytes = static_cast<const char*>(ResourceBytes(RT_MANIFEST, 1, &size));
    ASSERT_NE(bytes, nullptr);
    const std::string manifest(bytes, size);
    EXPECT_NE(manifest.find("<description>Language identifier</description>"), std::string::npos);
    // Windows 7, 8, 8.1 and 10/11 without compatibility modes; per-monitor DPI awareness v2 with the
    // older declaration as the fallback (that it took effect: the DPI cases of the window tests).
    for (const char* declared : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                                 "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                                 ">PerMonitorV2</dpiAwareness>", ">true/pm</dpiAware>"})
        EXPECT_NE(manifest.find(declared), std::string::npos) << declared;
    // The program and common controls 6 are asked for in the architecture of this executable: a
    // 64-bit program that asks for the x86 controls gets the old ones.
    const std::string arch = sizeof(void*) == 8 ? "amd64" : "x86";
    size_t named = 0;
    for (size_t at = manifest.find("processorArchitecture=\""); at != std::string::npos;
         at = manifest.find("processorArchitecture=\"", at + 1), ++named)
        EXPECT_EQ(manifest.compare(at + 23, arch.size() + 1, arch + "\""), 0) << manifest.substr(at, 40);
    EXPECT_EQ(named, 2u);
    // The manifest took effect: a control of this program comes from common controls 6.
    DestroyWindow(CreateWindowExW(0, L"BUTTON", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
    EXPECT_NE(std::wstring(path).find(L"6.0"), std::wstring::npos) << Utf8(path);
}
