// Helpers for the in-process tests of the main window and the About box: a real main window made by
// the application object, small test profiles, and a way to act while a modal dialog runs.
#pragma once

#include "Strings.h"
#include "TestBlobs.h"
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <functional>
#include <memory>
#include <string>

// Removes every queued message, WM_QUIT included, so that a quit posted by a destroyed main window
// does not end the next modal loop of the test program.
inline void DrainMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A profile that knows only the given characters, each counted once per appearance in `letters`.
inline std::vector<uint8_t> LetterBlob(const std::u16string& letters)
{
    std::vector<NgramCount> keys;
    for (char16_t c : letters) {
        bool found = false;
        for (NgramCount& key : keys)
            if (key.key[0] == c) {
                ++key.count;
                found = true;
            }
        if (!found)
            keys.push_back(NgramCount{std::u16string(1, c), 1});
    }
    return MakeBlob(keys, static_cast<int32_t>(letters.size()), 61);
}

// What CreateWindowExW was asked for, for every window created on this thread while it exists. The
// controls' own styles can differ afterwards (an edit control takes WS_BORDER off and draws its own).
class CCreationRecorder
{
public:
    struct Created
    {
        std::wstring className;
        std::wstring text;
        DWORD style, exStyle;
        int x, y, width, height;
        INT_PTR id;
        HWND parent;
    };

    CCreationRecorder()
    {
        s_created.clear();
        m_hHook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    }
    ~CCreationRecorder() { UnhookWindowsHookEx(m_hHook); }

    static std::vector<Created> s_created;

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            Created c;
            c.className = IS_INTRESOURCE(cs->lpszClass) ? L"#atom" : cs->lpszClass;
            c.text = cs->lpszName ? cs->lpszName : L"";
            c.style = static_cast<DWORD>(cs->style);
            c.exStyle = cs->dwExStyle;
            c.x = cs->x;
            c.y = cs->y;
            c.width = cs->cx;
            c.height = cs->cy;
            c.id = reinterpret_cast<INT_PTR>(cs->hMenu);
            c.parent = cs->hwndParent;
            s_created.push_back(c);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK m_hHook;
};
inline std::vector<CCreationRecorder::Created> CCreationRecorder::s_created;

// The application object with its main window, created hidden the way the entry does it.
class CTestApp
{
public:
    // `prepare` may set options or load profiles before the window is created.
    explicit CTestApp(const std::function<void(CTonguemeter&)>& prepare = nullptr)
        : m_app(new CTonguemeter(GetModuleHandleW(nullptr)))
    {
        DeleteFileW(IniPath().c_str());  // every test starts from the defaults
        m_registered = m_app->Initialize();
        if (prepare)
            prepare(*m_app);
        CCreationRecorder recorder;
        m_app->CreateMainWindow();
        // The platform may make helper windows of its own meanwhile; keep ours.
        for (const CCreationRecorder::Created& c : CCreationRecorder::s_created)
            if (c.className == TM_CLASS_NAME || (c.parent && c.parent == m_app->m_hWnd))
                m_created.push_back(c);
    }

    ~CTestApp()
    {
        if (m_app->m_hWnd)
            DestroyWindow(m_app->m_hWnd);
        DrainMessages();
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

    // Two profiles, Latin letters and Cyrillic letters, so that real verdicts can be made.
    static void LoadTwoProfiles(CTonguemeter& app)
    {
        static const std::vector<uint8_t> latin = LetterBlob(u"the quick brown fox jumps over the lazy dog");
        static const std::vector<uint8_t> cyrillic = LetterBlob(u"съешь же ещё этих мягких французских булок");
        app.m_identifier.LoadProfile(u"ラテン (Latin test)", latin.data(), latin.size());
        app.m_identifier.LoadProfile(u"キリル (Cyrillic test)", cyrillic.data(), cyrillic.size());
    }

    bool m_registered;
    std::vector<CCreationRecorder::Created> m_created;  // the main window, then its controls

private:
    std::unique_ptr<CTonguemeter> m_app;
};

// Runs `action` from inside the next modal message loop of this thread (a dialog's, for example):
// the call is posted to a message-only window, and a modal loop dispatches it once the dialog
// exists.
class CModalProbe
{
public:
    explicit CModalProbe(std::function<void()> action) : m_action(std::move(action))
    {
        static const wchar_t kClass[] = L"Tonguemeter Test Probe";
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = ProbeProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassW(&windowClass);
        m_hWnd = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        PostMessageW(m_hWnd, WM_APP, 0, 0);
    }
    ~CModalProbe() { DestroyWindow(m_hWnd); }

    bool m_ran = false;

private:
    static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* probe = reinterpret_cast<CModalProbe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP && probe) {
            probe->m_ran = true;
            probe->m_action();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::function<void()> m_action;
    HWND m_hWnd;
};

struct DialogSearch
{
    HWND owner;
    HWND found;
};

inline BOOL CALLBACK FindDialogProc(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The dialog owned by `owner` (null: a dialog without owner) on this thread, or null.
inline HWND FindOwnedDialog(HWND owner)
{
    DialogSearch search = {owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindDialogProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
