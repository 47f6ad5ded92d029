// The application object: owns every window handle, the user-interface font, one reference to the
// drop target and the identification engine with all loaded profiles.
#pragma once

#include "DropTarget.h"
#include "GdiObject.h"
#include "LangIdentifier.h"

#include <windows.h>

// A top-level window's place: screen coordinates of the top-left corner and outer size.
struct WindowBounds
{
    int left, top, width, height;
};

class CTonguemeter : public CDropTarget::CEventHandler
{
public:
    explicit CTonguemeter(HINSTANCE instance);
    ~CTonguemeter() override;

    // The size of a fresh window, and of one whose stored bounds cannot show it, at 96 DPI; it
    // scales with the DPI of the monitor at the stored position (StartBounds, LoadSettings).
    static const int kDefaultWidth = 400;
    static const int kDefaultHeight = 160;
    // The largest file a drop takes and the longest text the clipboard watch takes (2 MiB, 2 Mi
    // units): the input box lays out about a million characters a second, so the window is busy for
    // at most a few seconds.
    static const size_t kMaxDropBytes = size_t(2) << 20;
    static const size_t kMaxWatchedUnits = size_t(2) << 20;

    // Start-up (MainWindow.cpp, beside the window procedure): registers the window class, then reads
    // the settings.
    bool Initialize();
    bool CreateMainWindow();
    // The bounds the window is created with (MainWindow.cpp): the stored ones when they give a usable
    // window, otherwise the default size centred on the work area of the monitor nearest them.
    WindowBounds StartBounds() const;

    // Settings.cpp: the seven keys of the ini file beside the executable, and Clipboard after them.
    void LoadSettings();
    void SaveSettings();

    // Loader.cpp: loads every catalogue profile from the "LANGDATA" resources. Always true.
    bool LoadLanguages();

    // MainWindow.cpp
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnDestroy();
    void OnNcDestroy();
    void OnSize(int width, int height);
    void LayOut();  // OnSize with the current client size
    void Judge();
    bool SetAlwaysOnTop(bool on);
    bool SetTranslucent(bool on);
    bool SetClipboardWatch(bool on);
    void OnDropText(const wchar_t* text) override;
    bool OnDropFile(const wchar_t* path) override;
    void OnClipboardUpdate();
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    HINSTANCE m_hInstance;
    wchar_t m_iniPath[MAX_PATH];
    HWND m_hWnd;        // the main window; null before WM_CREATE and after WM_DESTROY
    HWND m_hText;       // children of m_hWnd: they die with it
    HWND m_hJudge;
    HWND m_hResult;
    int m_windowLeft;   // screen coordinates and outer size, as read from the settings
    int m_windowTop;
    int m_windowWidth;
    int m_windowHeight;
    WNDPROC m_textProc;     // the edit control's own procedures, which the subclasses of the input
    WNDPROC m_resultProc;   // box and the result label pass messages on to
    LOGFONTW m_messageFont;
    CGdiObject<HFONT> m_font;    // used by the three controls: deleted once they are gone (WM_NCDESTROY)
    int m_lineHeight;            // of m_font: one line of the result label
    UINT m_dpi;                  // of the main window: m_font and the button are made for it
    CDropTarget* m_dropTarget;   // one owned reference; released in OnDestroy
    bool m_alwaysOnTop;
    bool m_translucent;
    int m_opacityPercent;
    bool m_auto;
    bool m_clipboard;  // watching the clipboard (a listener is registered while the window exists)
    CLangIdentifier m_identifier;  // owned profiles and results
    bool m_flashing;
    CGdiObject<HBRUSH> m_flashBrush;  // replaced per flash; the last one goes with the window
};

// The engine's text unit and the platform's are both 16-bit here; this is the one place that says so.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
