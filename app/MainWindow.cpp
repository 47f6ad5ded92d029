// The main window: the input box, the identify button and the result label, the four options and
// the About entry of the system menu, the layout (scaled for the window's DPI), the identify command
// and the brief inverted flash of a verdict, dropped text and files, and the clipboard watch.
#include "Tonguemeter.h"

#include "AboutBox.h"
#include "Dpi.h"
#include "Strings.h"
#include "TextFile.h"
#include "Verdict.h"
#include "../res/resource.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <new>
#include <string>

namespace {

const DWORD kTextStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;  // lines wrap
const DWORD kJudgeStyle = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS | BS_PUSHBUTTON;
// The result label wraps its text to further lines (no ES_AUTOHSCROLL) and the layout gives it the
// lines it needs, so the whole verdict stays readable in a narrow window.
const DWORD kResultStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | ES_READONLY | ES_MULTILINE;

// The edit control takes only 32,767 units of typed or pasted text by default and cuts the rest off
// silently; the input box takes as much as memory allows.
const LPARAM kTextLimit = 0x7FFFFFFE;

const UINT kFlashMilliseconds = 500;

// The characters that Ctrl+A and Ctrl+Enter make once the message loop has translated the key.
const WPARAM kCtrlA = 0x01;
const WPARAM kCtrlEnter = L'\n';

CTonguemeter* AppOf(HWND window)
{
    return reinterpret_cast<CTonguemeter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The input box selects all of its text on Ctrl+A, where a plain edit control would insert the
// character, and identifies on Ctrl+Enter, where it would break the line (Ctrl+J makes the same
// character and still does). No accelerator table: the box handles the keys itself.
LRESULT CALLBACK TextBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    CTonguemeter* app = AppOf(GetParent(box));
    if (message == WM_CHAR && wParam == kCtrlA) {
        SendMessageW(box, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_CHAR && wParam == kCtrlEnter && GetKeyState(VK_RETURN) < 0) {
        app->Judge();
        return 0;
    }
    return CallWindowProcW(app->m_textProc, box, message, wParam, lParam);
}

// Whoever sets the result label's text (the loader, the identify command), the layout follows it, so
// that the label has the lines the new text needs.
LRESULT CALLBACK ResultLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam)
{
    CTonguemeter* app = AppOf(GetParent(label));
    const LRESULT result = CallWindowProcW(app->m_resultProc, label, message, wParam, lParam);
    if (message == WM_SETTEXT && result)
        app->LayOut();
    return result;
}

WNDPROC Subclass(HWND control, WNDPROC procedure)
{
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

HWND CreateControl(const CTonguemeter& app, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                   DWORD style, int id)
{
    return CreateWindowExW(exStyle, className, text, style, 0, 0, 0, 0, app.m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), app.m_hInstance, nullptr);
}

// The button keeps this size until the DPI changes; the layout only moves it. Its padding is 32 x 12
// pixels at 96 DPI. A line of the result label is as tall as the font.
void SizeJudgeButton(CTonguemeter& app)
{
    const TEXTMETRICW metrics = CFontDC(app.m_hJudge, app.m_font.Get()).Metrics();
    MoveWindow(app.m_hJudge, 0, 0, 2 * metrics.tmMaxCharWidth + ScaleForDpi(32, app.m_dpi),
               metrics.tmHeight + ScaleForDpi(12, app.m_dpi), FALSE);
    app.m_lineHeight = metrics.tmHeight;
}

// The message font for the window's DPI into the three controls (the old font is deleted once none
// of them uses it), and the button sized from it.
void ApplyFont(CTonguemeter& app)
{
    MessageFontForDpi(app.m_dpi, app.m_messageFont);  // on failure the font stays as it was
    HFONT font = CreateFontIndirectW(&app.m_messageFont);
    for (HWND control : {app.m_hText, app.m_hJudge, app.m_hResult})
        if (control)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    app.m_font.Reset(font);
    if (app.m_hJudge)
        SizeJudgeButton(app);
}

// The label's text for a file that a drop does not take, or null for one it takes (its text then in
// `text`).
const wchar_t* ReadDroppedFile(const wchar_t* path, std::u16string& text)
{
    std::string bytes;
    switch (ReadWholeFile(path, CTonguemeter::kMaxDropBytes, bytes)) {
    case FileRead::Read:
        if (LooksBinary(bytes))
            return TM_TEXT_FILE_NOT_TEXT;
        text = DecodeTextFile(bytes);
        return nullptr;
    case FileRead::Folder:
        return TM_TEXT_FILE_FOLDER;
    case FileRead::TooLarge:
        return TM_TEXT_FILE_TOO_LARGE;
    case FileRead::NotRegular:
    case FileRead::Unreadable:
        break;
    }
    return TM_TEXT_FILE_UNREADABLE;
}

// The Unicode text on the clipboard, up to its first NUL or the end of its block. False when the
// clipboard cannot be opened now, holds no Unicode text, or more than `maxUnits` units.
bool ReadClipboardText(HWND owner, size_t maxUnits, std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    bool read = false;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* units = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (units) {
        const size_t blockUnits = GlobalSize(data) / sizeof(wchar_t);
        const wchar_t* end = wmemchr(units, L'\0', blockUnits);
        const size_t length = end ? static_cast<size_t>(end - units) : blockUnits;
        if (length <= maxUnits) {
            try {
                text.assign(units, length);
                read = true;
            } catch (const std::bad_alloc&) {
            }
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return read;
}

// The height of the bottom strip: the button's height for the label's first line and one line of
// the font for each further one, as far as the input box can give while it keeps a button's height.
// A label that needs more than that scrolls.
int StripHeight(int buttonHeight, int lineHeight, int lines, int clientHeight)
{
    const int wanted = buttonHeight + (lines - 1) * lineHeight;
    return std::max(buttonHeight, std::min(wanted, clientHeight - buttonHeight));
}

void AppendSystemMenu(const CTonguemeter& app)
{
    HMENU menu = GetSystemMenu(app.m_hWnd, FALSE);
    auto checked = [](bool on) { return on ? MF_CHECKED : MF_UNCHECKED; };
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | checked(app.m_alwaysOnTop), IDM_ALWAYSONTOP, TM_TEXT_ALWAYS_ON_TOP);
    AppendMenuW(menu, MF_STRING | checked(app.m_translucent), IDM_TRANSLUCENT, TM_TEXT_TRANSLUCENT);
    AppendMenuW(menu, MF_STRING | checked(app.m_auto), IDM_AUTO, TM_TEXT_AUTO);
    AppendMenuW(menu, MF_STRING | checked(app.m_clipboard), IDM_CLIPBOARD, TM_TEXT_CLIPBOARD);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, TM_TEXT_ABOUT_MENU);
}

BYTE TranslucentAlpha(const CTonguemeter& app)
{
    return static_cast<BYTE>(app.m_opacityPercent * 255 / 100);
}

void SetCheckMark(HWND window, UINT command, bool on)
{
    CheckMenuItem(GetSystemMenu(window, FALSE), command, on ? MF_CHECKED : MF_UNCHECKED);
}

void OnCommand(CTonguemeter& app, WORD id, WORD code)
{
    if (id == IDC_TEXT && code == EN_CHANGE)
        EnableWindow(app.m_hJudge, GetWindowTextLengthW(app.m_hText) > 0);
    else if (id == IDC_JUDGE)
        app.Judge();
}

// True for the five own commands, whatever their four low bits; the platform's go on to
// DefWindowProcW.
bool OnSysCommand(CTonguemeter& app, WPARAM wParam)
{
    switch (wParam & 0xFFF0) {
    case IDM_ALWAYSONTOP:
        if (app.SetAlwaysOnTop(!app.m_alwaysOnTop))
            SetCheckMark(app.m_hWnd, IDM_ALWAYSONTOP, app.m_alwaysOnTop);
        return true;
    case IDM_TRANSLUCENT:
        if (app.SetTranslucent(!app.m_translucent))
            SetCheckMark(app.m_hWnd, IDM_TRANSLUCENT, app.m_translucent);
        return true;
    case IDM_AUTO:
        app.m_auto = !app.m_auto;
        SetCheckMark(app.m_hWnd, IDM_AUTO, app.m_auto);
        return true;
    case IDM_CLIPBOARD:
        if (app.SetClipboardWatch(!app.m_clipboard))
            SetCheckMark(app.m_hWnd, IDM_CLIPBOARD, app.m_clipboard);
        return true;
    case IDM_ABOUT:
        DialogBoxParamW(app.m_hInstance, MAKEINTRESOURCEW(IDD_ABOUT), app.m_hWnd, AboutDlgProc, 0);
        return true;
    }
    return false;
}

// The flash lasts one period of the timer; the timer is not needed again until the next verdict.
void OnFlashTimer(CTonguemeter& app)
{
    KillTimer(app.m_hWnd, IDT_FLASH);
    app.m_flashing = false;
    InvalidateRect(app.m_hResult, nullptr, TRUE);
}

// Inverse video for the result label: face-coloured text on a text-coloured ground.
HBRUSH FlashColours(CTonguemeter& app, HDC dc)
{
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    app.m_flashBrush.Reset(CreateSolidBrush(text));
    SetTextColor(dc, face);
    SetBkColor(dc, text);
    return app.m_flashBrush.Get();
}

}  // namespace

bool CTonguemeter::Initialize()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = m_hInstance;
    windowClass.hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = TM_CLASS_NAME;
    if (!RegisterClassW(&windowClass))
        return false;
    LoadSettings();
    return true;
}

bool CTonguemeter::CreateMainWindow()
{
    DWORD exStyle = 0;
    if (m_alwaysOnTop)
        exStyle |= WS_EX_TOPMOST;
    if (m_translucent)
        exStyle |= WS_EX_LAYERED;
    const WindowBounds bounds = StartBounds();
    HWND window = CreateWindowExW(exStyle, TM_CLASS_NAME, TM_WINDOW_TITLE, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  bounds.left, bounds.top, bounds.width, bounds.height, nullptr, nullptr,
                                  m_hInstance, this);
    return window != nullptr;
}

// Usable: at least the smallest size the user can drag a window to, with the title bar (and the frame
// above it) inside the work area from top to bottom and at least that smallest width of it inside from
// side to side, so that it can be grabbed. Stored bounds are judged against the monitor nearest them;
// the settings' own fields stay as read.
WindowBounds CTonguemeter::StartBounds() const
{
    const WindowBounds stored = {m_windowLeft, m_windowTop, m_windowWidth, m_windowHeight};
    // In 64 bits: the stored numbers may be anything an int holds. The monitor is looked up with a
    // rectangle of at least one pixel.
    const long long left = m_windowLeft, top = m_windowTop, right = left + m_windowWidth;
    auto toLong = [](long long v) { return static_cast<LONG>(std::min<long long>(v, INT_MAX)); };
    const RECT probe = {m_windowLeft, m_windowTop, toLong(std::max(right, left + 1)),
                        toLong(top + std::max(m_windowHeight, 1))};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&probe, MONITOR_DEFAULTTONEAREST), &monitor))
        return stored;  // nothing to judge them by
    const RECT& work = monitor.rcWork;

    const int minWidth = GetSystemMetrics(SM_CXMINTRACK);
    const int titleHeight = GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION);
    const bool largeEnough = m_windowWidth >= minWidth && m_windowHeight >= GetSystemMetrics(SM_CYMINTRACK);
    const bool titleInside = top >= work.top && top + titleHeight <= work.bottom &&
                             std::min<long long>(right, work.right) - std::max<long long>(left, work.left) >= minWidth;
    if (largeEnough && titleInside)
        return stored;
    // The default size for the DPI of the monitor at the stored position, or of the primary one.
    const UINT dpi = DpiAtPoint(POINT{m_windowLeft, m_windowTop});
    const int width = ScaleForDpi(kDefaultWidth, dpi), height = ScaleForDpi(kDefaultHeight, dpi);
    return {work.left + std::max(0, static_cast<int>(work.right - work.left - width) / 2),
            work.top + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2), width, height};
}

LRESULT CALLBACK CTonguemeter::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* app = static_cast<CTonguemeter*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!app)
            return -1;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
        app->m_hWnd = window;
        return app->OnCreate() ? 0 : -1;
    }
    // Messages such as WM_GETMINMAXINFO and WM_NCCREATE arrive before WM_CREATE stores the object.
    auto* app = reinterpret_cast<CTonguemeter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!app)
        return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_DESTROY:
        app->OnDestroy();
        app->m_hWnd = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        // Wine sends no WM_DESTROY to a window whose WM_CREATE failed, only this; the teardown
        // (settings) must happen all the same. No message loop runs after a failed creation.
        if (app->m_hWnd == window) {
            app->OnDestroy();
            app->m_hWnd = nullptr;
        }
        app->OnNcDestroy();
        break;
    case WM_SIZE:
        app->OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(*app, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        if (OnSysCommand(*app, wParam))
            return 0;
        break;
    case WM_TIMER:
        if (wParam == IDT_FLASH)
            OnFlashTimer(*app);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == app->m_hResult && app->m_flashing)
            return reinterpret_cast<LRESULT>(FlashColours(*app, reinterpret_cast<HDC>(wParam)));
        break;
    case WM_DPICHANGED:
        app->OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLIPBOARDUPDATE:
        app->OnClipboardUpdate();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CTonguemeter::OnCreate()
{
    m_dpi = DpiOfWindow(m_hWnd);
    MessageFontForDpi(m_dpi, m_messageFont);  // the constructor's font where this fails
    m_font.Reset(CreateFontIndirectW(&m_messageFont));
    const WPARAM font = reinterpret_cast<WPARAM>(m_font.Get());
    m_hText = CreateControl(*this, WS_EX_CLIENTEDGE, L"EDIT", L"", kTextStyle, IDC_TEXT);
    if (!m_hText)
        return false;
    SendMessageW(m_hText, WM_SETFONT, font, FALSE);
    SendMessageW(m_hText, EM_SETLIMITTEXT, kTextLimit, 0);
    m_textProc = Subclass(m_hText, TextBoxProc);

    m_hJudge = CreateControl(*this, 0, L"BUTTON", TM_TEXT_JUDGE, kJudgeStyle, IDC_JUDGE);
    SizeJudgeButton(*this);
    SendMessageW(m_hJudge, WM_SETFONT, font, FALSE);

    m_hResult = CreateControl(*this, 0, L"EDIT", L"", kResultStyle, IDC_RESULT);
    if (m_hResult) {
        SendMessageW(m_hResult, WM_SETFONT, font, FALSE);
        m_resultProc = Subclass(m_hResult, ResultLabelProc);
    }

    // The window was created with WS_EX_LAYERED when it starts translucent.
    if (m_translucent)
        SetLayeredWindowAttributes(m_hWnd, 0, TranslucentAlpha(*this), LWA_ALPHA);

    // A watch that cannot be set up starts off, and its menu entry unchecked.
    if (m_clipboard && !AddClipboardFormatListener(m_hWnd))
        m_clipboard = false;
    AppendSystemMenu(*this);

    // A failed registration leaves a window that simply accepts no drops.
    m_dropTarget = new CDropTarget;
    m_dropTarget->m_eventHandler = this;
    RegisterDragDrop(m_hWnd, m_dropTarget);
    return true;
}

// The children still exist here; the font and the flash brush they draw with go in OnNcDestroy.
void CTonguemeter::OnDestroy()
{
    RevokeDragDrop(m_hWnd);
    if (m_clipboard)
        RemoveClipboardFormatListener(m_hWnd);
    if (m_dropTarget) {
        m_dropTarget->Release();
        m_dropTarget = nullptr;
    }
    SaveSettings();
}

// The last message of the main window: its children are gone.
void CTonguemeter::OnNcDestroy()
{
    m_font.Reset();
    m_flashBrush.Reset();
    m_textProc = nullptr;
    m_resultProc = nullptr;
}

// The input box fills the client area above a bottom strip; the button sits at the strip's top-left
// corner and the result label fills the rest of the strip, which is as tall as the label's lines
// need (StripHeight). A client area lower than the button pushes the button partly above the top.
void CTonguemeter::OnSize(int width, int height)
{
    RECT button = {};
    GetWindowRect(m_hJudge, &button);
    const int buttonWidth = button.right - button.left;
    const int buttonHeight = button.bottom - button.top;
    const int labelWidth = std::max(width - buttonWidth, 0);
    // The label wraps its text at its own width: give it that width, then ask how many lines it made.
    SetWindowPos(m_hResult, nullptr, 0, 0, labelWidth, buttonHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    const int lines = labelWidth > 0 ? static_cast<int>(SendMessageW(m_hResult, EM_GETLINECOUNT, 0, 0)) : 1;
    const int stripHeight = StripHeight(buttonHeight, m_lineHeight, std::max(lines, 1), height);
    const int y = height - stripHeight;
    MoveWindow(m_hJudge, 0, y, buttonWidth, buttonHeight, TRUE);
    MoveWindow(m_hResult, buttonWidth, y, labelWidth, stripHeight, TRUE);
    MoveWindow(m_hText, 0, 0, width, std::max(y, 0), TRUE);
}

void CTonguemeter::LayOut()
{
    if (!m_hWnd)
        return;
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    OnSize(client.right, client.bottom);
}

// Runs to its end inside the button's WM_COMMAND or inside a drop; the wait cursor is the only
// feedback meanwhile.
void CTonguemeter::Judge()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const int length = GetWindowTextLengthW(m_hText);
    // A single unit is never identified, although the button is enabled for it.
    if (length > 1) {
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SetWindowTextW(m_hResult, TM_TEXT_JUDGING);
        GetWindowTextW(m_hText, &text[0], length + 1);

        const LangScore* results = m_identifier.Identify(AsUtf16(text.c_str()));
        std::u16string verdict;
        const bool named = FormatVerdict(results, m_identifier.GetProfileCount(), verdict);
        SetWindowTextW(m_hResult, AsWide(verdict.c_str()));
        if (named) {
            // Setting the running timer again starts its period anew: every verdict flashes 500 ms.
            m_flashing = true;
            InvalidateRect(m_hResult, nullptr, TRUE);
            SetTimer(m_hWnd, IDT_FLASH, kFlashMilliseconds, nullptr);
        }
    }
    SetCursor(previous);
}

bool CTonguemeter::SetAlwaysOnTop(bool on)
{
    if (on == m_alwaysOnTop)
        return true;
    if (!SetWindowPos(m_hWnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE))
        return false;
    m_alwaysOnTop = on;
    return true;
}

// The toggle relies on WS_EX_LAYERED matching m_translucent, which the window keeps from its creation.
bool CTonguemeter::SetTranslucent(bool on)
{
    if (on == m_translucent)
        return true;
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) ^ WS_EX_LAYERED);
    if (on)
        SetLayeredWindowAttributes(m_hWnd, 0, TranslucentAlpha(*this), LWA_ALPHA);
    m_translucent = on;
    return true;
}

// The text is valid only during the call; the edit box keeps its own copy.
void CTonguemeter::OnDropText(const wchar_t* text)
{
    if (!text || !text[0])
        return;
    SetWindowTextW(m_hText, text);
    SendMessageW(m_hText, EM_SETSEL, 0, -1);
    EnableWindow(m_hJudge, TRUE);
    if (m_auto)
        Judge();
}

// The file's text goes into the box as dropped text would; a file that cannot be taken leaves the box
// as it was and the label says why.
bool CTonguemeter::OnDropFile(const wchar_t* path)
{
    std::u16string text;
    const wchar_t* refusal = TM_TEXT_FILE_TOO_LARGE;  // where even the allowed size finds no memory
    try {
        refusal = ReadDroppedFile(path, text);
    } catch (const std::bad_alloc&) {
    }
    if (refusal) {
        m_flashing = false;
        SetWindowTextW(m_hResult, refusal);
        return false;
    }
    OnDropText(AsWide(text.c_str()));
    return text.c_str()[0] != u'\0';
}

// The listener is registered exactly while the option is on and the window exists.
bool CTonguemeter::SetClipboardWatch(bool on)
{
    if (on == m_clipboard)
        return true;
    if (on && !AddClipboardFormatListener(m_hWnd))
        return false;
    if (!on)
        RemoveClipboardFormatListener(m_hWnd);
    m_clipboard = on;
    return true;
}

// New Unicode text on the clipboard replaces the box's text as one step that Ctrl+Z takes back, and
// is identified at once. The program's own copies (the input box's and the label's), anything but
// Unicode text, text over kMaxWatchedUnits and a clipboard that cannot be opened now are passed
// over: nothing is retried, nothing waits.
void CTonguemeter::OnClipboardUpdate()
{
    if (!m_clipboard)
        return;
    HWND owner = GetClipboardOwner();
    if (owner && (owner == m_hWnd || IsChild(m_hWnd, owner)))
        return;
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !ReadClipboardText(m_hWnd, kMaxWatchedUnits, text) ||
        text.empty())
        return;
    SendMessageW(m_hText, EM_SETSEL, 0, -1);
    SendMessageW(m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(m_hText, EM_SETSEL, 0, -1);
    EnableWindow(m_hJudge, TRUE);
    Judge();
}

// The window moved to a monitor of another DPI (or the scale changed): the font and the button are
// made again for it, and the window takes the rectangle the system suggests.
void CTonguemeter::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    m_dpi = dpi;
    ApplyFont(*this);
    SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut();
}
