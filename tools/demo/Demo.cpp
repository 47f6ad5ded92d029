// Drives a running Tonguemeter.exe from a second process, for the run script on a machine without a
// display.
//
//   tm-demo identify [text]   waits for the ready text, pastes the text through the clipboard,
//                             presses the button and prints the verdict and the window's bounds
//   tm-demo close             closes the program with WM_CLOSE and waits until it has ended
//
// Exit code 0 on success, 1 when the program cannot be found or does not answer in time.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kClassName[] = L"Tonguemeter Main Window";
const wchar_t kReadyText[] = L"文章を貼り付けるかドラッグ&ドロップしてください";
const wchar_t kSample[] =
    L"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所で"
    L"ニャーニャー泣いていた事だけは記憶している。";

std::wstring Text(HWND window)
{
    wchar_t buffer[1024] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 1000, &ignored);
    return buffer;
}

void PrintUtf8(const wchar_t* label, const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    printf("%ls%s\n", label, utf8.c_str());
}

// Polls for the main window with its label showing the ready (or a later) text.
HWND WaitForProgram(int seconds)
{
    for (int i = 0; i < seconds * 20; ++i, Sleep(50)) {
        HWND window = FindWindowW(kClassName, nullptr);
        HWND label = window ? GetDlgItem(window, 102) : nullptr;
        if (label && IsWindowVisible(window) && Text(label) == kReadyText)
            return window;
    }
    return nullptr;
}

bool PutOnClipboard(const std::wstring& text)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    const bool done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!done)
        GlobalFree(memory);
    CloseClipboard();
    return done;
}

int Identify(const std::wstring& text)
{
    HWND window = WaitForProgram(60);
    if (!window) {
        fprintf(stderr, "tm-demo: no Tonguemeter window with the ready text\n");
        return 1;
    }
    HWND edit = GetDlgItem(window, 100), button = GetDlgItem(window, 101), label = GetDlgItem(window, 102);
    // A real paste, as the user makes it; typing over the content if the clipboard is not available.
    SendMessageW(edit, EM_SETSEL, 0, -1);
    // (GetWindowTextLengthW does not ask a window of another process; WM_GETTEXTLENGTH does.)
    if (!PutOnClipboard(text) || (SendMessageW(edit, WM_PASTE, 0, 0), SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0) == 0))
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    if (!IsWindowEnabled(button)) {
        fprintf(stderr, "tm-demo: the identify button stayed disabled\n");
        return 1;
    }
    SendMessageW(button, BM_CLICK, 0, 0);
    PrintUtf8(L"verdict: ", Text(label));
    RECT rect = {};
    GetWindowRect(window, &rect);
    printf("window: %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int Close()
{
    HWND window = FindWindowW(kClassName, nullptr);
    if (!window)
        return 1;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process)
        return 0;
    const bool ended = WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    printf("exit code: %lu\n", ended ? code : 259ul);
    return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"identify")
        return Identify(argc > 2 ? argv[2] : kSample);
    if (command == L"close")
        return Close();
    fprintf(stderr, "usage: tm-demo identify [text] | tm-demo close\n");
    return 2;
}
