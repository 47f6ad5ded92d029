// End to end, from a second process: the real Tonguemeter.exe (a fresh copy in a folder of its own,
// without a settings file) identifies real sentences typed into it and dragged onto it with real OLE
// drag and drop, takes options from its system menu, closes with 0 on WM_CLOSE and writes its
// settings, and started again, minimised, comes back with them. Needs a display (Xvfb) under wine.
#include "TestSupport.h"

#include <ole2.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

const wchar_t kProgram[] = L"Z:" TM_PROGRAM;  // the built program; wine maps the Unix root to Z:
const wchar_t kClassName[] = L"Tonguemeter Main Window";
const wchar_t kReadyText[] = L"文章を貼り付けるかドラッグ&ドロップしてください";
const UINT kTranslucent = 0xE020, kAuto = 0xE030;

// Text of a window of the other process; the call waits while that process is busy (it loads its
// profiles without handling messages).
std::wstring RemoteText(HWND window)
{
    wchar_t buffer[4096] = {};
    SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

// Under wine, GetProcessTimes of another process counts only a sliver of its CPU time (0.11 s where
// the kernel counted 0.96 s); there the kernel's own count is read through wine's Z: drive, from
// /proc/<pid>/stat of the process whose command line is `program`. Seconds of user and
// system time; false on Windows, or when the process is not found.
bool KernelCpuTimes(const std::wstring& program, double& user, double& system)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")
                        ? FindFirstFileW(L"Z:\\proc\\*", &entry) : INVALID_HANDLE_VALUE;
    bool found = false;
    for (bool more = search != INVALID_HANDLE_VALUE; more && !found; more = FindNextFileW(search, &entry)) {
        // The command line's arguments are separated by NULs: its first "line" is the program.
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName + L"\\";
        const std::vector<std::string> commandLine =
            iswdigit(entry.cFileName[0]) ? FileLines(folder + L"cmdline") : std::vector<std::string>();
        if (commandLine.empty() || _stricmp(commandLine[0].c_str(), Utf8(program).c_str()) != 0)
            continue;
        // utime and stime are the 14th and 15th fields; the 2nd, the command name, ends with ')'.
        const std::vector<std::string> stat = FileLines(folder + L"stat");
        const size_t nameEnd = stat.empty() ? std::string::npos : stat[0].rfind(')');
        long long ticks[2] = {};
        if ((found = nameEnd != std::string::npos &&
                     sscanf(stat[0].c_str() + nameEnd + 1, " %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lld %lld",
                            &ticks[0], &ticks[1]) == 2)) {
            user = ticks[0] / 100.0;  // the kernel's clock ticks for user space: 100 a second
            system = ticks[1] / 100.0;
        }
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return found;
}

// One running copy of the program in `folder`, ready or failed. Terminated if a test leaves it running.
class CRunningProgram
{
public:
    CRunningProgram(const std::wstring& folder, const wchar_t* arguments, WORD showCommand)
    {
        const std::wstring& exe = m_exe = folder + L"Tonguemeter.exe";
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup = {sizeof(startup)};
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showCommand;
        const ULONGLONG start = GetTickCount64();
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &m_process)) {
            ADD_FAILURE() << "cannot start the program, error " << GetLastError();
            return;
        }
        m_ready = WaitFor([&] {
            // One copy runs at a time, in a wine prefix of the test build's own.
            m_hWnd = FindWindowW(kClassName, nullptr);
            m_hText = GetDlgItem(m_hWnd, 100);
            m_hJudge = GetDlgItem(m_hWnd, 101);
            m_hResult = GetDlgItem(m_hWnd, 102);
            return m_hResult && IsWindowVisible(m_hWnd) && RemoteText(m_hResult) == kReadyText;
        }, 60);
        m_startupMs = GetTickCount64() - start;
        EXPECT_TRUE(m_ready) << "no ready text; the label says: " << Utf8(m_hResult ? RemoteText(m_hResult) : L"");
        if (m_ready)
            m_startup = Measure();
    }

    // The CPU time and memory the program has used so far, as one line.
    std::string Measure() const
    {
        FILETIME created, exited, kernel, user;
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        if (!GetProcessTimes(m_process.hProcess, &created, &exited, &kernel, &user) ||
            !GetProcessMemoryInfo(m_process.hProcess, &memory, sizeof(memory)))
            return "(no process figures, error " + std::to_string(GetLastError()) + ")";
        auto seconds = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
        double userSeconds = seconds(user), systemSeconds = seconds(kernel);
        char source[80] = "";
        if (KernelCpuTimes(m_exe, userSeconds, systemSeconds))
            snprintf(source, sizeof(source), "; the kernel's count: wine's GetProcessTimes says %.2f s",
                     seconds(user) + seconds(kernel));
        char text[256];
        snprintf(text, sizeof(text), "%.2f s of CPU (%.2f user, %.2f system%s), working set %.1f MB (peak %.1f MB)",
                 userSeconds + systemSeconds, userSeconds, systemSeconds, source,
                 memory.WorkingSetSize / 1048576.0, memory.PeakWorkingSetSize / 1048576.0);
        return text;
    }

    ~CRunningProgram()
    {
        if (m_process.hProcess == nullptr)
            return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process.hProcess, 99);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }

    // WM_CLOSE, then the exit code (or -1 when the program does not end).
    long Close()
    {
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        DWORD code = 0;
        const bool ended = WaitForSingleObject(m_process.hProcess, 30000) == WAIT_OBJECT_0;
        return ended && GetExitCodeProcess(m_process.hProcess, &code) ? static_cast<long>(code) : -1;
    }

    // Pastes `text` over the whole content and presses the button; the label's text afterwards.
    std::wstring Identify(const wchar_t* text)
    {
        SendMessageW(m_hText, EM_SETSEL, 0, -1);
        SendMessageW(m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
        EXPECT_TRUE(IsWindowEnabled(m_hJudge));
        SendMessageW(m_hJudge, BM_CLICK, 0, 0);
        return RemoteText(m_hResult);
    }

    std::wstring m_exe;
    PROCESS_INFORMATION m_process = {};
    bool m_ready = false;
    ULONGLONG m_startupMs = 0;
    std::string m_startup;  // Measure() when the ready text appeared
    HWND m_hWnd = nullptr, m_hText = nullptr, m_hJudge = nullptr, m_hResult = nullptr;
};

struct Sample { const wchar_t* language, *text; };  // the verdict starts with the display name `language`

const Sample kSamples[] = {
    {L"英語 (English)",
     L"The weather was fine this morning, so we walked along the river and talked about the books we had "
     L"read during the winter."},
    {L"日本語 (Japanese)",
     L"今日は朝から良い天気だったので、川沿いを散歩しながら冬の間に読んだ本について話しました。"},
    {L"ロシア語 (Russian)",
     L"Сегодня с утра была хорошая погода, поэтому мы гуляли вдоль реки и говорили о книгах, которые "
     L"прочитали зимой."},
    {L"アラビア語 (Arabic)",
     L"كان الطقس جميلا هذا الصباح، فمشينا على ضفة النهر وتحدثنا عن الكتب التي قرأناها خلال فصل الشتاء."},
};

void ExpectVerdict(const std::wstring& verdict, const Sample& sample)
{
    EXPECT_EQ(verdict.rfind(sample.language, 0), 0u)
        << "text: " << Utf8(sample.text) << "\nexpected: " << Utf8(sample.language) << "\nverdict: " << Utf8(verdict);
}

// --- A real OLE drag from a window of this process --------------------------------------------------

void SendMouse(DWORD flags, POINT at = {0, 0})
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    SendInput(1, &input, sizeof(input));
}

// The data and the mouse of one drag, on the stack: hands out its text as Unicode text in global
// memory, and while OLE tracks the drag moves the mouse to the target by way of a step beside it,
// then lets the button go. A drag that never ends is cancelled.
class CTextDrag : public CTextSourceBase, public IDropSource
{
public:
    CTextDrag(const wchar_t* text, POINT target) : m_text(text), m_target(target) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = riid == IID_IDropSource ? static_cast<void*>(static_cast<IDropSource*>(this))
             : riid == IID_IUnknown || riid == IID_IDataObject ? static_cast<IDataObject*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const SIZE_T bytes = (m_text.size() + 1) * sizeof(wchar_t);
        medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(medium->hGlobal), m_text.c_str(), bytes);
        GlobalUnlock(medium->hGlobal);
        medium->tymed = TYMED_HGLOBAL;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == CF_UNICODETEXT && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }

    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape || ++m_calls > 400)
            return DRAGDROP_S_CANCEL;
        if (!(keys & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        if (m_calls == 2)
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{m_target.x + 20, m_target.y + 10});
        else if (m_calls == 4)
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, m_target);
        else if (m_calls == 10)
            SendMouse(MOUSEEVENTF_LEFTUP);
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    std::wstring m_text;
    POINT m_target;
    int m_calls = 0;
};

// Drags `text` from a window of this process onto the middle of `target`; the result of DoDragDrop.
HRESULT DragText(const wchar_t* text, HWND target, DWORD& effect)
{
    RECT rect = {};
    GetWindowRect(target, &rect);
    CTestWindow source(700, 500, 200, 120);
    UpdateWindow(source.m_hWnd);
    // OLE reads this thread's button state: the press must have arrived here before DoDragDrop.
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{800, 580});
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    if (!WaitFor([] { return GetKeyState(VK_LBUTTON) < 0; }, 10)) {
        SendMouse(MOUSEEVENTF_LEFTUP);
        ADD_FAILURE() << "the source window never saw the button press";
        return E_FAIL;
    }
    CTextDrag drag(text, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    effect = DROPEFFECT_NONE;
    return DoDragDrop(&drag, &drag, DROPEFFECT_COPY, &effect);
}

}  // namespace

TEST(EndToEnd, IdentifiesTypedAndDraggedTextClosesWithZeroAndRestoresItsSettings)
{
    const std::wstring folder = TestProgramFolder() + L"e2e\\";
    const std::wstring ini = folder + L"Tonguemeter.ini";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW(ini.c_str());
    ASSERT_TRUE(CopyFileW(kProgram, (folder + L"Tonguemeter.exe").c_str(), FALSE)) << Utf8(kProgram);
    {
        CRunningProgram program(folder, L"--no-such-option /x", SW_SHOWNORMAL);  // arguments are ignored
        ASSERT_TRUE(program.m_ready);
        // Figures to read, not to check: the machine may be busy.
        printf("start-up to the ready text: %llu ms, %s\n", program.m_startupMs, program.m_startup.c_str());
        const ULONGLONG first = GetTickCount64();
        ExpectVerdict(program.Identify(kSamples[0].text), kSamples[0]);
        printf("first identification: %llu ms\n", GetTickCount64() - first);
        for (const Sample& sample : kSamples)
            ExpectVerdict(program.Identify(sample.text), sample);
        printf("after %zu more: %s\n", sizeof(kSamples) / sizeof(kSamples[0]), program.Measure().c_str());

        // With identification on drop (any low bits), dragged text is taken and identified at once.
        // (Files from Explorer and the clipboard watch: the drop target's and the window's tests.)
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kAuto | 0x3, 0);
        DWORD effect = 0;
        EXPECT_EQ(DragText(kSamples[2].text, program.m_hText, effect), DRAGDROP_S_DROP);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(RemoteText(program.m_hText), kSamples[2].text);
        ExpectVerdict(RemoteText(program.m_hResult), kSamples[2]);

        // Translucency on, to come back after the restart (the toggle itself: the window tests).
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kTranslucent, 0);

        SetWindowPos(program.m_hWnd, nullptr, 37, 41, 500, 220, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(program.Close(), 0);
    }
    std::vector<std::string> expected = {"[Settings]", "WindowLeft=37", "WindowTop=41", "WindowWidth=500",
                                         "WindowHeight=220", "AlwaysOnTop=0", "Translucent=1", "Auto=1",
                                         "Clipboard=0"};
    EXPECT_EQ(FileLines(ini), expected);

    // Started again, minimised: the profiles load all the same, and bounds and options came back.
    {
        CRunningProgram again(folder, L"", SW_SHOWMINIMIZED);
        ASSERT_TRUE(again.m_ready);
        EXPECT_TRUE(IsIconic(again.m_hWnd));
        EXPECT_EQ(Alpha(again.m_hWnd), 204);  // started translucent, not always on top
        EXPECT_FALSE(GetWindowLongPtrW(again.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
        ExpectVerdict(again.Identify(kSamples[0].text), kSamples[0]);
        SendMessageW(again.m_hWnd, WM_SYSCOMMAND, kAuto, 0);  // it came back on: this writes it as off
        EXPECT_EQ(again.Close(), 0);
    }
    // The bounds came back: the minimised window saves them again as its restored bounds.
    expected[7] = "Auto=0";
    EXPECT_EQ(FileLines(ini), expected);
}
