// Real key presses in the main window's input box, through the system's input and translated by a
// message loop as the program's loop does. Built into both test programs: the window tests carry the
// program's manifest and so get common controls 6, the unit tests do not and get the platform's
// plain edit control, which inserts the character of Ctrl+A where the other selects all.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

// Presses and releases each key in turn, with Ctrl held around them when `ctrl`, then handles this
// thread's messages until `done` holds (false after 5 s).
template <typename Condition>
bool PressKeys(std::initializer_list<WORD> keys, bool ctrl, Condition done)
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD key, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (ctrl)
        add(VK_CONTROL, 0);
    for (WORD key : keys) {
        add(key, 0);
        add(key, KEYEVENTF_KEYUP);
    }
    if (ctrl)
        add(VK_CONTROL, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return WaitFor(done, 5);
}

}  // namespace

TEST(Keyboard, KeysTypeAndCtrlASelectsAllForTheNextKeyToReplace)
{
    CTestApp app;
    ShowWindow(app->m_hWnd, SW_SHOW);
    SetForegroundWindow(app->m_hWnd);
    SetFocus(app->m_hText);
    ASSERT_EQ(GetFocus(), app->m_hText);
    EXPECT_TRUE(PressKeys({'X'}, false, [&] { return GetWindowTextLengthW(app->m_hText) == 1; }));
    EXPECT_TRUE(IsWindowEnabled(app->m_hJudge));
    EXPECT_TRUE(PressKeys({VK_BACK}, false, [&] { return GetWindowTextLengthW(app->m_hText) == 0; }));
    EXPECT_FALSE(IsWindowEnabled(app->m_hJudge));

    // Wherever the caret is, Ctrl+A selects every line and inserts nothing; the next key replaces it all.
    const std::wstring text = L"first line\r\nsecond line";
    SendMessageW(app->m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(app->m_hText, EM_SETSEL, 3, 3);
    const std::pair<DWORD, DWORD> all(0, static_cast<DWORD>(text.size()));
    EXPECT_TRUE(PressKeys({'A'}, true, [&] { return Selection(app->m_hText) == all; }))
        << Selection(app->m_hText).first << "-" << Selection(app->m_hText).second;
    EXPECT_EQ(WindowText(app->m_hText), text);
    EXPECT_TRUE(PressKeys({'Z'}, false, [&] { return WindowText(app->m_hText) == L"z"; }))
        << Utf8(WindowText(app->m_hText));
}

// Ctrl+Enter identifies and breaks no line; Enter alone still breaks one.
TEST(Keyboard, CtrlEnterIdentifiesWithoutALineBreak)
{
    CTestApp app;
    app->LoadLanguages();
    ShowWindow(app->m_hWnd, SW_SHOW);
    SetForegroundWindow(app->m_hWnd);
    SetFocus(app->m_hText);
    ASSERT_EQ(GetFocus(), app->m_hText);
    const std::wstring text = L"Das ist ein ganz gewöhnlicher deutscher Satz.";
    SendMessageW(app->m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_TRUE(PressKeys({VK_RETURN}, true, [&] { return WindowText(app->m_hResult).find(L"ドイツ語") == 0; }))
        << Utf8(WindowText(app->m_hResult));
    EXPECT_EQ(WindowText(app->m_hText), text);
    EXPECT_TRUE(PressKeys({VK_RETURN}, false, [&] { return WindowText(app->m_hText) == text + L"\r\n"; }))
        << Utf8(WindowText(app->m_hText));
}
