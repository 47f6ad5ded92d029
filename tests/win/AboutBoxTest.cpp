// The About box and the resources that go with it: dialog 10's template, the running dialog, the link
// (through a recorder instead of the browser), the version resource, the icon group and the manifest.
#include "WindowTestSupport.h"

#include "AboutBox.h"
#include "../../res/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// --- Dialog template, read from the resource as the dialog manager reads it -----------------------

struct TemplateItem
{
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring className;  // a predefined class atom is turned into its name
    std::wstring text;       // "#n" for a resource ordinal
};

struct DialogTemplateInfo
{
    DWORD style, exStyle;
    short x, y, cx, cy;
    std::wstring caption, face;
    WORD pointSize;
    std::vector<TemplateItem> items;
};

const WORD* ReadSzOrOrd(const WORD* p, std::wstring& out, bool isClass)
{
    if (*p == 0xFFFF) {
        const WORD ordinal = p[1];
        static const wchar_t* const names[] = {L"BUTTON", L"EDIT", L"STATIC", L"LISTBOX", L"SCROLLBAR", L"COMBOBOX"};
        if (isClass && ordinal >= 0x80 && ordinal <= 0x85)
            out = names[ordinal - 0x80];
        else
            out = L"#" + std::to_wstring(ordinal);
        return p + 2;
    }
    out.clear();
    while (*p)
        out += static_cast<wchar_t>(*p++);
    return p + 1;
}

const WORD* Align4(const WORD* p)
{
    return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
}

DialogTemplateInfo ReadDialogTemplate(int id)
{
    DialogTemplateInfo info = {};
    HRSRC found = FindResourceExW(nullptr, RT_DIALOG, MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found)
        return info;
    const auto* header = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
    info.style = header->style;
    info.exStyle = header->dwExtendedStyle;
    info.x = header->x;
    info.y = header->y;
    info.cx = header->cx;
    info.cy = header->cy;
    const WORD* p = reinterpret_cast<const WORD*>(header + 1);
    std::wstring menu, cls;
    p = ReadSzOrOrd(p, menu, false);
    p = ReadSzOrOrd(p, cls, false);
    p = ReadSzOrOrd(p, info.caption, false);
    if (header->style & DS_SETFONT) {
        info.pointSize = *p++;
        p = ReadSzOrOrd(p, info.face, false);
    }
    for (int i = 0; i < header->cdit; ++i) {
        p = Align4(p);
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        TemplateItem t = {item->style, item->x, item->y, item->cx, item->cy, static_cast<short>(item->id), L"", L""};
        p = reinterpret_cast<const WORD*>(item + 1);
        p = ReadSzOrOrd(p, t.className, true);
        p = ReadSzOrOrd(p, t.text, false);
        p += 1 + *p / sizeof(WORD);  // creation data
        info.items.push_back(t);
    }
    return info;
}

// --- Opening the dialog ------------------------------------------------------------------------------

struct OpenCall
{
    std::wstring verb, file;
    bool hasParameters, hasDirectory, hasOwner;
    INT show;
};
std::vector<OpenCall> g_openCalls;

HINSTANCE WINAPI RecordOpen(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show)
{
    g_openCalls.push_back({verb ? verb : L"", file ? file : L"", parameters != nullptr, directory != nullptr,
                           owner != nullptr, show});
    return reinterpret_cast<HINSTANCE>(33);
}

class AboutBox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_openCalls.clear();
        m_saved = g_openAddress;
        g_openAddress = RecordOpen;
    }
    void TearDown() override
    {
        g_openAddress = m_saved;
        DrainMessages();
    }

    // Opens the About box and runs `inside` with the dialog; `inside` must end it. Returns the
    // dialog's result.
    INT_PTR RunAbout(const std::function<void(HWND)>& inside, HWND owner = nullptr)
    {
        HWND dialog = nullptr;
        CModalProbe probe([&] {
            dialog = FindOwnedDialog(owner);
            if (dialog)
                inside(dialog);
            else
                ADD_FAILURE() << "no About box open";
        });
        const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner,
                                               AboutDlgProc, 12345);
        EXPECT_TRUE(probe.m_ran);
        return result;
    }

    OpenAddressFunction m_saved;
};

}  // namespace

TEST(AboutTemplate, ClassicDialogWithExactHeaderAndControls)
{
    const DialogTemplateInfo t = ReadDialogTemplate(IDD_ABOUT);
    EXPECT_EQ(t.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, 160);
    EXPECT_EQ(t.cy, 62);
    EXPECT_EQ(t.caption, L"バージョン情報");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.face, L"ＭＳ Ｐゴシック");
    ASSERT_EQ(t.items.size(), 4u);

    const TemplateItem expected[] = {
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 56, 40, 48, 14, IDOK, L"BUTTON", L"OK"},
        {WS_CHILD | WS_VISIBLE | SS_ICON, 8, 8, 16, 16, -1, L"STATIC", L"#1"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER, 32, 8, 120, 16, -1, L"STATIC",
         L"Tonguemeter ver.0.1.0\nCopyright (C) 2026 Tonguemeter"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOTIFY | SS_CENTER, 44, 24, 96, 9, IDC_LINK, L"STATIC", g_homePage},
    };
    for (int i = 0; i < 4; ++i) {
        const TemplateItem& a = t.items[i];
        const TemplateItem& e = expected[i];
        EXPECT_EQ(a.style, e.style) << i;
        EXPECT_EQ(a.x, e.x) << i;
        EXPECT_EQ(a.y, e.y) << i;
        EXPECT_EQ(a.cx, e.cx) << i;
        EXPECT_EQ(a.cy, e.cy) << i;
        EXPECT_EQ(a.id, e.id) << i;
        EXPECT_EQ(_wcsicmp(a.className.c_str(), e.className.c_str()), 0) << i;
        EXPECT_EQ(a.text, e.text) << i;
    }
    // Our own address, a web address.
    EXPECT_EQ(std::wstring(g_homePage).rfind(L"https://", 0), 0u);
}

TEST_F(AboutBox, ShowsItsTextsAndAnUnderlinedLinkFont)
{
    HFONT seen = nullptr;
    const INT_PTR result = RunAbout([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"バージョン情報");
        HWND link = GetDlgItem(dialog, IDC_LINK);
        EXPECT_EQ(WindowText(link), g_homePage);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDOK);  // the default button has the focus

        seen = reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0));
        EXPECT_EQ(seen, g_linkFont);
        LOGFONTW linkFont = {}, dialogFont = {};
        ASSERT_EQ(GetObjectW(seen, sizeof(linkFont), &linkFont), static_cast<int>(sizeof(linkFont)));
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(dialogFont), &dialogFont);
        EXPECT_EQ(linkFont.lfUnderline, 1);
        EXPECT_EQ(dialogFont.lfUnderline, 0);
        EXPECT_EQ(linkFont.lfHeight, dialogFont.lfHeight);
        EXPECT_STREQ(linkFont.lfFaceName, dialogFont.lfFaceName);

        // Blue on the dialog's own background for the link; default colours for the others.
        HDC dc = CreateCompatibleDC(nullptr);
        const LRESULT brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(link));
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
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
            HDC textDc = GetDC(control);
            HGDIOBJ old = SelectObject(textDc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
            const std::wstring text = WindowText(control);
            DrawTextW(textDc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
            SelectObject(textDc, old);
            ReleaseDC(control, textDc);
            EXPECT_LE(needed.right, client.right) << GetDlgCtrlID(control);
            EXPECT_LE(needed.bottom, client.bottom) << GetDlgCtrlID(control);
        }
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(result, IDOK);
    // The link font died with the dialog.
    EXPECT_EQ(g_linkFont, nullptr);
    EXPECT_EQ(GetObjectType(seen), 0u);

    // A second opening makes a fresh font.
    RunAbout([&](HWND dialog) {
        HFONT again = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog, IDC_LINK), WM_GETFONT, 0, 0));
        EXPECT_NE(again, nullptr);
        EXPECT_EQ(GetObjectType(again), static_cast<DWORD>(OBJ_FONT));
        LOGFONTW font = {};
        GetObjectW(again, sizeof(font), &font);
        EXPECT_EQ(font.lfUnderline, 1);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(AboutBox, OkEndsWithOneAndCancelWithTwoWhateverTheNotification)
{
    EXPECT_EQ(RunAbout([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }), IDOK);
    EXPECT_EQ(RunAbout([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 7), 0); }), IDCANCEL);
    // Esc and the caption's close button arrive as IDCANCEL.
    EXPECT_EQ(RunAbout([](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }), IDCANCEL);
    EXPECT_TRUE(g_openCalls.empty());
}

TEST_F(AboutBox, OnlyTheLinksClickOpensTheHomePage)
{
    RunAbout([](HWND dialog) {
        HWND link = GetDlgItem(dialog, IDC_LINK);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LINK, STN_DBLCLK), reinterpret_cast<LPARAM>(link));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, 0), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK + 50, 0), 0);
        EXPECT_TRUE(g_openCalls.empty());
        // A real click on the link.
        SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        EXPECT_TRUE(IsWindow(dialog));  // stays open
        EXPECT_EQ(g_openCalls.size(), 1u);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(g_openCalls.size(), 1u);
    EXPECT_EQ(g_openCalls[0].verb, L"open");
    EXPECT_EQ(g_openCalls[0].file, g_homePage);
    EXPECT_FALSE(g_openCalls[0].hasParameters);
    EXPECT_FALSE(g_openCalls[0].hasDirectory);
    EXPECT_FALSE(g_openCalls[0].hasOwner);
    EXPECT_EQ(g_openCalls[0].show, SW_SHOWNORMAL);
}

TEST_F(AboutBox, OpensFromTheSystemMenuAtTheOwnersClientCorner)
{
    CTestApp app;
    SetWindowPos(app->m_hWnd, nullptr, 40, 30, 400, 160, SWP_NOZORDER);
    ShowWindow(app->m_hWnd, SW_SHOWNOACTIVATE);
    bool seen = false;
    CModalProbe probe([&] {
        HWND dialog = FindOwnedDialog(app->m_hWnd);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_FALSE(IsWindowEnabled(app->m_hWnd));  // the owner takes no input meanwhile
        // Position 0, 0 without centring: the dialog's client area starts at the owner's.
        POINT corner = {0, 0}, dialogCorner = {0, 0};
        ClientToScreen(app->m_hWnd, &corner);
        ClientToScreen(dialog, &dialogCorner);
        EXPECT_EQ(dialogCorner.x, corner.x);
        EXPECT_EQ(dialogCorner.y, corner.y);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    // Any of the four low bits.
    EXPECT_EQ(SendMessageW(app->m_hWnd, WM_SYSCOMMAND, IDM_ABOUT | 0xF, 0), 0);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(IsWindowEnabled(app->m_hWnd));
}

TEST(Resources, VersionResourceAsReleased)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"Comments", L"Language identifier"},
        {L"CompanyName", L"Tonguemeter developers"},
        {L"FileDescription", L"Tonguemeter"},
        {L"FileVersion", L"0.1.0"},
        {L"InternalName", L"Tonguemeter"},
        {L"LegalCopyright", L"Copyright (C) 2026 Tonguemeter"},
        {L"OriginalFilename", L"Tonguemeter.exe"},
        {L"ProductName", L"Tonguemeter"},
        {L"ProductVersion", L"0.1.0"},
    };
    for (const auto& s : strings) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + s.first;
        ASSERT_TRUE(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << s.first;
        EXPECT_STREQ(value, s.second);
    }
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);
}

TEST(Resources, IconGroupHasThreeImagesUnderLanguage1033)
{
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC found = FindResourceExW(nullptr, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP), english);
    ASSERT_NE(found, nullptr);
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    WORD count = 0;
    std::memcpy(&count, group + 4, 2);
    ASSERT_EQ(count, 3);
    struct Image { int size, colours, bits; };
    const Image expected[] = {{16, 16, 4}, {32, 0, 8}, {48, 0, 8}};
    for (int i = 0; i < 3; ++i) {
        const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, 2);
        EXPECT_EQ(entry[0], expected[i].size);
        EXPECT_EQ(entry[1], expected[i].size);
        EXPECT_EQ(entry[2], expected[i].colours);
        EXPECT_EQ(bits, expected[i].bits);
    }
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP)), nullptr);
    EXPECT_NE(FindResourceExW(nullptr, RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT), english), nullptr);
    EXPECT_NE(FindResourceExW(nullptr, RT_VERSION, MAKEINTRESOURCEW(1), english), nullptr);
}

TEST(Resources, ManifestAsksForCommonControls6)
{
    HRSRC found = FindResourceExW(nullptr, RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_NE(manifest.find("<description>Language identifier</description>"), std::string::npos);
    // The manifest took effect: a button comes from common controls 6.
    HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(button, nullptr);
    DestroyWindow(button);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    wchar_t path[MAX_PATH] = {};
    if (comctl)
        GetModuleFileNameW(comctl, path, MAX_PATH);
    EXPECT_NE(std::wstring(path).find(L"6.0"), std::wstring::npos) << path;
}
