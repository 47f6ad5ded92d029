// Real key presses in the main window's input box, through the system's input and translated by a
// message loop as the program's loop does. Built into both test programs: the window tests carry the
// program's manifest and so get common controls 6, the unit tests do not and get the platform's
// plain edit control, which inserts the character of Ctrl+A where the other selects all.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Presses and releases `key`, with Ctrl held around it when `ctrl`, then handles this thread's
// messages until `done` holds (false after 5 s).
template <typename Condition>
bool Press(WORD key, bool ctrl, Condition done)
{
    INPUT inputs[4] = {};
    const UINT count = ctrl ? 4 : 2;
    for (UINT i = 0; i < count; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = ctrl && (i == 0 || i == 3) ? VK_CONTROL : key;
        inputs[i].ki.dwFlags = i < count / 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(count, inputs, sizeof(INPUT));
    return WaitFor(done, 5);
}

}  // namespace

// Keys type; wherever the caret is, Ctrl+A selects every line and inserts nothing, and the next key
// replaces it all. Ctrl+Enter identifies and breaks no line; Enter alone still breaks one.
TEST(Keyboard, KeysTypeCtrlASelectsAllAndCtrlEnterIdentifiesWithoutALineBreak)
{
    CTestApp app;
    app->LoadLanguages();
    ShowWindow(app->m_hWnd, SW_SHOW);
    SetForegroundWindow(app->m_hWnd);
    SetFocus(app->m_hText);
    ASSERT_EQ(GetFocus(), app->m_hText);
    EXPECT_TRUE(Press('X', false, [&] { return GetWindowTextLengthW(app->m_hText) == 1; }));
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    EXPECT_TRUE(Press(VK_BACK, false, [&] { return GetWindowTextLengthW(app->m_hText) == 0; }));
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));

    const std::wstring lines = L"first line\r\nsecond line";
    SendMessageW(app->m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(lines.c_str()));
    SendMessageW(app->m_hText, EM_SETSEL, 3, 3);
    const std::pair<DWORD, DWORD> all(0, static_cast<DWORD>(lines.size()));
    EXPECT_TRUE(Press('A', true, [&] { return Selection(app->m_hText) == all; }))
        << Selection(app->m_hText).first << "-" << Selection(app->m_hText).second;
    EXPECT_EQ(WindowText(app->m_hText), lines);
    EXPECT_TRUE(Press('Z', false, [&] { return WindowText(app->m_hText) == L"z"; })) << Utf8(WindowText(app->m_hText));

    const std::wstring german = L"Das ist ein ganz gewöhnlicher deutscher Satz.";
    SetWindowTextW(app->m_hText, german.c_str());
    SendMessageW(app->m_hText, EM_SETSEL, german.size(), german.size());
    EXPECT_TRUE(Press(VK_RETURN, true, [&] { return WindowText(app->m_hResult).find(L"ドイツ語") == 0; }))
        << Utf8(WindowText(app->m_hResult));
    EXPECT_EQ(WindowText(app->m_hText), german);
    EXPECT_TRUE(Press(VK_RETURN, false, [&] { return WindowText(app->m_hText) == german + L"\r\n"; }))
        << Utf8(WindowText(app->m_hText));
}
