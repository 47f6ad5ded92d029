#include "AboutBox.h"

#include "../res/resource.h"

#include <shellapi.h>

#define TM_WIDEN2(text) L##text
#define TM_WIDEN(text) TM_WIDEN2(text)

HFONT g_linkFont = nullptr;
OpenAddressFunction g_openAddress = ShellExecuteW;
const wchar_t g_homePage[] = TM_WIDEN(TM_HOME_PAGE);

namespace {

// Posted to itself after a DPI change, once the dialog manager has made the dialog's font again.
const UINT kRemakeLinkFont = WM_APP;

// The link's font: the dialog's own, underlined. A font made before is deleted once the link has
// let go of it.
void MakeLinkFont(HWND dialog, BOOL redraw)
{
    LOGFONTW font = {};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    GetObjectW(dialogFont, sizeof(font), &font);
    font.lfUnderline = 1;
    HFONT previous = g_linkFont;
    g_linkFont = CreateFontIndirectW(&font);
    SendMessageW(GetDlgItem(dialog, IDC_LINK), WM_SETFONT, reinterpret_cast<WPARAM>(g_linkFont), redraw);
    if (previous)
        DeleteObject(previous);
}

// The link is blue on the dialog's own background; every other static keeps the system colours.
INT_PTR OnLinkColour(HDC dc)
{
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

void OnAboutCommand(HWND dialog, WORD id, WORD code)
{
    if (id == IDOK || id == IDCANCEL)
        EndDialog(dialog, id);
    else if (id == IDC_LINK && code == STN_CLICKED)  // a double click (STN_DBLCLK) opens nothing more
        g_openAddress(nullptr, L"open", g_homePage, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        MakeLinkFont(dialog, FALSE);
        return TRUE;  // the dialog manager gives the focus to the default button
    case WM_DPICHANGED:
        // The dialog manager scales the dialog, its font and the controls that use it; the link's
        // own font follows afterwards.
        PostMessageW(dialog, kRemakeLinkFont, 0, 0);
        return FALSE;
    case kRemakeLinkFont:
        MakeLinkFont(dialog, TRUE);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_LINK))
            return OnLinkColour(reinterpret_cast<HDC>(wParam));
        return FALSE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) != GetDlgItem(dialog, IDC_LINK))
            return FALSE;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_COMMAND:
        OnAboutCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NCDESTROY:
        // The link control uses the font until it is gone, and the dialog's children are gone by now.
        DeleteObject(g_linkFont);
        g_linkFont = nullptr;
        return FALSE;
    }
    return FALSE;
}
