// The application object: owns every window handle, the user-interface font, one reference to the
// drop target and the identification engine with all loaded profiles.
#pragma once

#include "DropTarget.h"
#include "LangIdentifier.h"

#include <windows.h>

class CTonguemeter : public CDropTarget::CEventHandler
{
public:
    explicit CTonguemeter(HINSTANCE instance);
    ~CTonguemeter() override;

    // Start-up (MainWindow.cpp, beside the window procedure): registers the window class, then reads
    // the settings.
    bool Initialize();
    bool CreateMainWindow();

    // Settings.cpp: the seven keys of the ini file beside the executable.
    void LoadSettings();
    void SaveSettings();

    // Loader.cpp: loads every catalogue profile from the "LANGDATA" resources. Always true.
    bool LoadLanguages();

    // MainWindow.cpp
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnDestroy();
    void OnSize(int width, int height);
    void Judge();
    bool SetAlwaysOnTop(bool on);
    bool SetTranslucent(bool on);
    void OnDropText(const wchar_t* text) override;

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
    LOGFONTW m_messageFont;
    HFONT m_hFont;               // owned; deleted in OnDestroy
    CDropTarget* m_dropTarget;   // one owned reference; released in OnDestroy
    bool m_alwaysOnTop;
    bool m_translucent;
    int m_opacityPercent;
    bool m_auto;
    CLangIdentifier m_identifier;  // owned profiles and results
    bool m_flashing;
    HBRUSH m_hFlashBrush;        // owned; replaced per flash, the last one deleted in OnDestroy
};

// The engine's text unit and the platform's are both 16-bit here; this is the one place that says so.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
