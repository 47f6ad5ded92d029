// Helpers for the in-process tests of the main window and the About box: a real main window made by
// the application object. The test programs carry the program's own resources, profiles included.
#pragma once

#include "Strings.h"
#include "TestSupport.h"
#include "Tonguemeter.h"
#include "Verdict.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

// The start and end of an edit control's selection.
inline std::pair<DWORD, DWORD> Selection(HWND edit)
{
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// The verdict FormatVerdict writes for `count` records, best first.
inline std::wstring VerdictFor(const LangScore* records, int count)
{
    std::u16string verdict;
    FormatVerdict(records, count, verdict);
    return AsWide(verdict.c_str());
}

// The engine's verdict on `text`, as the label must show it.
inline std::wstring VerdictOf(CTonguemeter& app, const std::wstring& text)
{
    return VerdictFor(app.m_identifier.Identify(AsUtf16(text.c_str())), app.m_identifier.GetProfileCount());
}

inline HFONT FontOf(HWND control)
{
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// While it exists, watches the child windows of this thread: for each one that receives its last
// message (WM_NCDESTROY), counts whether m_font (borrowed) still exists then. Counting allocates
// nothing. One at a time; the hook it holds makes it uncopyable.
struct CFontWatch
{
    CFontWatch() { s_active = this; }
    ~CFontWatch() { s_active = nullptr; }

    HFONT m_font = nullptr;
    int m_endedWithFont = 0, m_endedWithoutFont = 0;

    static LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && s_active != nullptr && sent->message == WM_NCDESTROY &&
            (GetWindowLongW(sent->hwnd, GWL_STYLE) & WS_CHILD) != 0)
            ++(GetObjectType(s_active->m_font) == OBJ_FONT ? s_active->m_endedWithFont : s_active->m_endedWithoutFont);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline CFontWatch* s_active = nullptr;
    CThreadHook m_hook{WH_CALLWNDPROC, CallWndProc};
};

// The application object with its main window, created hidden the way the entry does it, from the
// defaults (no settings file).
class CTestApp
{
public:
    // `prepare` may set options before the window is created.
    explicit CTestApp(const std::function<void(CTonguemeter&)>& prepare = nullptr)
        : m_app(new CTonguemeter(GetModuleHandleW(nullptr)))
    {
        DeleteFileW(IniPath().c_str());
        m_app->Initialize();
        if (prepare)
            prepare(*m_app);
        m_app->CreateMainWindow();
    }

    ~CTestApp()
    {
        if (m_app->m_hWnd)
            DestroyWindow(m_app->m_hWnd);
        PumpMessages();
        UnregisterClassW(TM_CLASS_NAME, GetModuleHandleW(nullptr));
        DeleteFileW(IniPath().c_str());
    }

    // The settings file beside the test program.
    static std::wstring IniPath()
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring ini(path);
        return ini.substr(0, ini.rfind(L'.')) + L".ini";
    }

    CTonguemeter& operator*() { return *m_app; }
    CTonguemeter* operator->() { return m_app.get(); }

private:
    std::unique_ptr<CTonguemeter> m_app;
};
