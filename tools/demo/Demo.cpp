// Drives a running Tonguemeter.exe from a second process, for the run script on a machine without a
// display.
//
//   tm-demo identify [text]   waits for the ready text, pastes the text through the clipboard,
//                             presses the button and prints the verdict and the window's bounds
//   tm-demo measure [millions [file]]
//                             waits for the ready text, pastes a text of that many million
//                             characters (default 10) through the clipboard, presses the button and
//                             prints how long the paste and the identification kept the window
//                             busy, the verdict and the program's peak working set. The text is the
//                             UTF-8 file's lines, or a few lines of English prose, repeated
//   tm-demo about             opens the About box and prints its bounds
//   tm-demo close             closes an open About box, then the program with WM_CLOSE, and waits
//                             until it has ended
//
// Exit code 0 on success, 1 when the program cannot be found or does not answer in time.
#include "resource.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
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
        HWND label = window ? GetDlgItem(window, IDC_RESULT) : nullptr;
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
    HWND edit = GetDlgItem(window, IDC_TEXT), button = GetDlgItem(window, IDC_JUDGE), label = GetDlgItem(window, IDC_RESULT);
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

// Seconds since `start`.
double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Sends a message that the program handles to its end before it answers; false when it takes more
// than ten minutes.
bool SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 600000, &ignored) != 0;
}

// The lines of a UTF-8 file with Windows line ends, as a paste from an editor brings them; empty when
// the file cannot be read.
std::wstring ReadLines(const wchar_t* path)
{
    std::string bytes;
    if (FILE* file = _wfopen(path, L"rb")) {
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), file)) > 0;)
            bytes.append(buffer, n);
        fclose(file);
    }
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                    static_cast<int>(text.size())));
    std::wstring lines;
    for (wchar_t c : text) {
        if (c == L'\n')
            lines += L'\r';
        if (c != L'\r')
            lines += c;
    }
    return lines;
}

int Measure(long millions, const wchar_t* file)
{
    if (millions <= 0 || millions > 500) {
        fprintf(stderr, "tm-demo: measure takes 1 to 500 (million characters)\n");
        return 2;
    }
    HWND window = WaitForProgram(60);
    if (!window) {
        fprintf(stderr, "tm-demo: no Tonguemeter window with the ready text\n");
        return 1;
    }
    HWND edit = GetDlgItem(window, IDC_TEXT), button = GetDlgItem(window, IDC_JUDGE), label = GetDlgItem(window, IDC_RESULT);
    // Lines of prose, as in a text file (one line of a million characters is a different matter: the
    // edit control wraps a paragraph in time that grows with its square).
    static const wchar_t kProse[] =
        L"The weather was fine this morning, so we walked along the river and talked about the books we had "
        L"read during the winter. In the afternoon it began to rain, and we went home to write letters.\r\n";
    const std::wstring lines = file ? ReadLines(file) : kProse;
    if (lines.empty()) {
        fwprintf(stderr, L"tm-demo: no text in %ls\n", file);
        return 2;
    }
    const size_t units = static_cast<size_t>(millions) * 1000000;
    std::wstring text;
    text.reserve(units);
    while (text.size() < units)
        text += lines;
    text.resize(units);
    if (!PutOnClipboard(text)) {
        fprintf(stderr, "tm-demo: the text could not be put on the clipboard\n");
        return 1;
    }
    SendMessageW(edit, EM_SETSEL, 0, -1);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!SendAndWait(edit, WM_PASTE, 0, 0)) {
        fprintf(stderr, "tm-demo: the paste did not end within ten minutes\n");
        return 1;
    }
    const double paste = SecondsSince(start);
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    QueryPerformanceCounter(&start);
    if (!SendAndWait(button, BM_CLICK, 0, 0)) {
        fprintf(stderr, "tm-demo: the identification did not end within ten minutes\n");
        return 1;
    }
    const double identify = SecondsSince(start);
    printf("pasted %ld million characters (%lld units in the box) in %.1f s; identified in %.1f s\n", millions,
           static_cast<long long>(length), paste, identify);
    PrintUtf8(L"verdict: ", Text(label));
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (process && GetProcessMemoryInfo(process, &memory, sizeof(memory)))
        printf("peak working set: %.0f MB\n", memory.PeakWorkingSetSize / (1024.0 * 1024.0));
    if (process)
        CloseHandle(process);
    return length == static_cast<LRESULT>(units) ? 0 : 1;
}

// The program's About box, if it is open.
HWND FindAboutBox(DWORD processId)
{
    for (HWND dialog = FindWindowW(L"#32770", nullptr); dialog; dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner == processId && IsWindowVisible(dialog))
            return dialog;
    }
    return nullptr;
}

int About()
{
    HWND window = FindWindowW(kClassName, nullptr);
    if (!window || !IsWindowVisible(window)) {
        fprintf(stderr, "tm-demo: no Tonguemeter window\n");
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    PostMessageW(window, WM_SYSCOMMAND, 0xE040, 0);  // the About entry of the system menu
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i, Sleep(50))
        dialog = FindAboutBox(processId);
    if (!dialog) {
        fprintf(stderr, "tm-demo: the About box did not open\n");
        return 1;
    }
    Sleep(300);  // drawn
    RECT rect = {};
    GetWindowRect(dialog, &rect);
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
    if (HWND dialog = FindAboutBox(processId))
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
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
    if (command == L"measure")
        return Measure(argc > 2 ? wcstol(argv[2], nullptr, 10) : 10, argc > 3 ? argv[3] : nullptr);
    if (command == L"about")
        return About();
    if (command == L"close")
        return Close();
    fprintf(stderr, "usage: tm-demo identify [text] | tm-demo measure [millions [file]] | tm-demo about | "
                    "tm-demo close\n");
    return 2;
}
