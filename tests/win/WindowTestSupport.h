// Helpers for the in-process tests of the main window and the About box: a real main window made by
// the application object, and small test profiles.
#pragma once

#include "Strings.h"
#include "TestBlobs.h"
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <algorithm>
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
        auto key = std::find_if(keys.begin(), keys.end(), [c](const NgramCount& k) { return k.key[0] == c; });
        if (key != keys.end())
            ++key->count;
        else
            keys.push_back(NgramCount{std::u16string(1, c), 1});
    }
    return MakeBlob(keys, static_cast<int32_t>(letters.size()), 61);
}

// The application object with its main window, created hidden the way the entry does it, from the
// defaults (no settings file).
class CTestApp
{
public:
    // `prepare` may set options or load profiles before the window is created.
    explicit CTestApp(const std::function<void(CTonguemeter&)>& prepare = nullptr)
        : m_app(new CTonguemeter(GetModuleHandleW(nullptr)))
    {
        DeleteFileW(IniPath().c_str());
        m_registered = m_app->Initialize();
        if (prepare)
            prepare(*m_app);
        m_app->CreateMainWindow();
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

private:
    std::unique_ptr<CTonguemeter> m_app;
};
