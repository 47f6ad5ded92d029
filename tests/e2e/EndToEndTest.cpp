// End to end, from a second process: starts the real Tonguemeter.exe (a fresh copy in a folder of its
// own, so that no settings file exists), waits for the ready text, identifies real sentences through
// the edit box and the button, toggles options through the system menu, drags text onto it with real
// OLE drag and drop, closes it with WM_CLOSE and checks the exit code and the settings file, then
// starts it again and checks that bounds and options came back.
//
// Usage: e2e_tests <path of Tonguemeter.exe> [gtest options]. Needs a display (Xvfb) under wine.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const wchar_t kClassName[] = L"Tonguemeter Main Window";
const wchar_t kReadyText[] = L"文章を貼り付けるかドラッグ&ドロップしてください";
const UINT kAlwaysOnTop = 0xE010, kTranslucent = 0xE020, kAuto = 0xE030;

std::wstring g_programPath;  // the built Tonguemeter.exe, as a Windows path

std::wstring ToWindowsPath(const std::string& path)
{
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/')
        wide = L"Z:" + wide;  // wine maps the Unix root to drive Z:
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring ThisFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Folder(path);
}

// Text of a window of the other process; empty while that process is busy (it loads its profiles
// without processing messages).
std::wstring RemoteText(HWND window)
{
    wchar_t buffer[4096] = {};
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 1000,
                             &ignored))
        return L"";
    return buffer;
}

// Polls until `done` holds or `seconds` pass; only for waiting on the other process.
template <typename Condition>
bool WaitFor(Condition done, double seconds)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    }
    return true;
}

// One running copy of the program in `folder`. Terminated if a test leaves it running.
class CRunningProgram
{
public:
    explicit CRunningProgram(const std::wstring& folder, const wchar_t* arguments = L"", WORD showCommand = SW_SHOWNORMAL)
    {
        const std::wstring exe = folder + L"Tonguemeter.exe";
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showCommand;
        LARGE_INTEGER frequency, start, ready;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &m_process)) {
            ADD_FAILURE() << "cannot start the program, error " << GetLastError();
            return;
        }
        m_started = true;
        const bool up = WaitFor([&] {
            m_hWnd = FindOwnWindow();
            m_hText = m_hWnd ? GetDlgItem(m_hWnd, 100) : nullptr;
            m_hJudge = m_hWnd ? GetDlgItem(m_hWnd, 101) : nullptr;
            m_hResult = m_hWnd ? GetDlgItem(m_hWnd, 102) : nullptr;
            return m_hResult && IsWindowVisible(m_hWnd) && RemoteText(m_hResult) == kReadyText;
        }, 60);
        QueryPerformanceCounter(&ready);
        m_startupMs = 1000.0 * static_cast<double>(ready.QuadPart - start.QuadPart) / frequency.QuadPart;
        EXPECT_TRUE(up) << "no ready text; the label says: " << Narrow(m_hResult ? RemoteText(m_hResult) : L"");
        m_ready = up;
    }

    ~CRunningProgram()
    {
        if (m_started && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process.hProcess, 99);
        if (m_started) {
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }

    // WM_CLOSE, then the exit code (or -1 when the program does not end).
    long Close()
    {
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_process.hProcess, 30000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

    // Types `text` over the whole content, as a paste does, then presses the button; the label's
    // text afterwards.
    std::wstring Identify(const wchar_t* text)
    {
        SendMessageW(m_hText, EM_SETSEL, 0, -1);
        SendMessageW(m_hText, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
        EXPECT_TRUE(IsWindowEnabled(m_hJudge));
        SendMessageW(m_hJudge, BM_CLICK, 0, 0);
        return RemoteText(m_hResult);
    }

    static std::string Narrow(const std::wstring& text)
    {
        std::string out(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()), nullptr, nullptr);
        out.resize(out.size() ? out.size() - 1 : 0);
        return out;
    }

    PROCESS_INFORMATION m_process = {};
    bool m_started = false;
    bool m_ready = false;
    double m_startupMs = 0;
    HWND m_hWnd = nullptr, m_hText = nullptr, m_hJudge = nullptr, m_hResult = nullptr;

private:
    struct Search { DWORD processId; HWND found; };
    static BOOL CALLBACK FindProc(HWND window, LPARAM data)
    {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (processId == search->processId && std::wstring(name) == kClassName) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }
    HWND FindOwnWindow() const
    {
        Search search = {m_process.dwProcessId, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
};

// A fresh folder with a copy of the program and no settings file.
std::wstring FreshFolder(const wchar_t* name)
{
    const std::wstring folder = ThisFolder() + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"Tonguemeter.ini").c_str());
    EXPECT_TRUE(CopyFileW(g_programPath.c_str(), (folder + L"Tonguemeter.exe").c_str(), FALSE))
        << "cannot copy " << CRunningProgram::Narrow(g_programPath);
    return folder;
}

std::vector<std::string> IniLines(const std::wstring& folder)
{
    std::string content;
    HANDLE file = CreateFileW((folder + L"Tonguemeter.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            content.append(buffer, read);
        CloseHandle(file);
    }
    std::istringstream stream(content);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

BYTE Alpha(HWND window)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(window, nullptr, &alpha, &flags);
    return (flags & LWA_ALPHA) ? alpha : 0;
}

DWORD ExStyle(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)); }

struct Sample
{
    const wchar_t* language;  // the display name that the verdict must start with
    const wchar_t* text;
};

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
    {L"ドイツ語 (German)",
     L"Heute Morgen war das Wetter schön, deshalb sind wir am Fluss entlang spazieren gegangen und haben "
     L"über die Bücher gesprochen, die wir im Winter gelesen haben."},
    {L"フランス語 (French)",
     L"Ce matin il faisait beau, alors nous nous sommes promenés le long de la rivière en parlant des "
     L"livres que nous avions lus pendant l'hiver."},
    {L"朝鮮語 (Korean)",
     L"오늘 아침에는 날씨가 좋아서 우리는 강을 따라 걸으며 겨울 동안 읽은 책에 대해 이야기했습니다."},
    {L"ギリシア語 (Greek)",
     L"Σήμερα το πρωί ο καιρός ήταν ωραίος, γι' αυτό περπατήσαμε δίπλα στο ποτάμι και μιλήσαμε για τα "
     L"βιβλία που διαβάσαμε τον χειμώνα."},
};

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// --- A real OLE drag from a window of this process --------------------------------------------------

class CTextDataObject : public IDataObject
{
public:
    explicit CTextDataObject(std::wstring text) : m_text(std::move(text)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refCount); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&m_refCount); }  // on the stack

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const SIZE_T bytes = (m_text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(memory), m_text.c_str(), bytes);
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == CF_UNICODETEXT && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, out);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    LONG m_refCount = 1;
    std::wstring m_text;
};

void SendMouse(DWORD flags, POINT at = {0, 0})
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &input, sizeof(input));
}

// Moves the mouse to the target, then lets the button go; OLE asks this while it tracks the drag.
class CDropSource : public IDropSource
{
public:
    explicit CDropSource(POINT target) : m_target(target) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // on the stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        ++m_calls;
        if (escape || m_calls > 400)
            return DRAGDROP_S_CANCEL;
        if (!(keys & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        if (m_calls == 2) {
            // A step on the way first, so that the drag leaves the source window.
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{m_target.x + 20, m_target.y + 10});
        } else if (m_calls == 4) {
            SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, m_target);
        } else if (m_calls == 10) {
            SendMouse(MOUSEEVENTF_LEFTUP);
        }
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

    int m_calls = 0;

private:
    POINT m_target;
};

LRESULT CALLBACK SourceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 1);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Drags `text` from a window of this process onto `target` (screen coordinates). Returns the result of
// DoDragDrop and the effect.
HRESULT DragText(const std::wstring& text, POINT target, DWORD& effect)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SourceProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"Tonguemeter Test Drag Source";
    RegisterClassW(&windowClass);
    HWND source = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"source", WS_POPUP | WS_VISIBLE | WS_BORDER,
                                  700, 500, 200, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(source);

    // OLE reads the button state: the press must have reached this thread before DoDragDrop.
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{800, 560});
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    const bool pressed = WaitFor([&] { return GetWindowLongPtrW(source, GWLP_USERDATA) == 1; }, 10);
    EXPECT_TRUE(pressed) << "the source window never saw the button press";

    CTextDataObject data(text);
    CDropSource dropSource(target);
    effect = DROPEFFECT_NONE;
    const HRESULT result = pressed ? DoDragDrop(&data, &dropSource, DROPEFFECT_COPY, &effect) : E_FAIL;
    if (!pressed)
        SendMouse(MOUSEEVENTF_LEFTUP);
    DestroyWindow(source);
    return result;
}

POINT CentreOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

TEST(EndToEnd, IdentifiesClosesWithZeroAndRestoresItsSettings)
{
    const std::wstring folder = FreshFolder(L"e2e-settings");
    {
        // Command-line arguments are ignored.
        CRunningProgram program(folder, L"--no-such-option /x");
        ASSERT_TRUE(program.m_ready);
        printf("start-up to the ready text: %.0f ms\n", program.m_startupMs);
        RecordProperty("StartupMs", static_cast<int>(program.m_startupMs));

        // First start without settings: (0, 0), 400 x 160, not topmost, opaque.
        RECT rect = {};
        GetWindowRect(program.m_hWnd, &rect);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right - rect.left, 400);
        EXPECT_EQ(rect.bottom - rect.top, 160);
        EXPECT_FALSE(ExStyle(program.m_hWnd) & (WS_EX_TOPMOST | WS_EX_LAYERED));
        EXPECT_FALSE(IsWindowEnabled(program.m_hJudge));

        for (const Sample& sample : kSamples) {
            const std::wstring verdict = program.Identify(sample.text);
            EXPECT_TRUE(StartsWith(verdict, sample.language))
                << "text: " << CRunningProgram::Narrow(sample.text) << "\nexpected: "
                << CRunningProgram::Narrow(sample.language) << "\nverdict: " << CRunningProgram::Narrow(verdict);
        }

        // Options change at once, and reach the settings file only at the end.
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kTranslucent, 0);
        EXPECT_TRUE(ExStyle(program.m_hWnd) & WS_EX_LAYERED);
        EXPECT_EQ(Alpha(program.m_hWnd), 204);
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kAuto | 0x3, 0);
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kAlwaysOnTop, 0);
        EXPECT_TRUE(ExStyle(program.m_hWnd) & WS_EX_TOPMOST);
        SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kAlwaysOnTop, 0);
        EXPECT_FALSE(ExStyle(program.m_hWnd) & WS_EX_TOPMOST);
        EXPECT_EQ(GetFileAttributesW((folder + L"Tonguemeter.ini").c_str()), INVALID_FILE_ATTRIBUTES);

        SetWindowPos(program.m_hWnd, nullptr, 37, 41, 500, 220, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(program.Close(), 0);
    }
    const std::vector<std::string> expected = {"[Settings]",     "WindowLeft=37",  "WindowTop=41",
                                               "WindowWidth=500", "WindowHeight=220", "AlwaysOnTop=0",
                                               "Translucent=1",   "Auto=1"};
    EXPECT_EQ(IniLines(folder), expected);

    {
        CRunningProgram again(folder);
        ASSERT_TRUE(again.m_ready);
        RECT rect = {};
        GetWindowRect(again.m_hWnd, &rect);
        EXPECT_EQ(rect.left, 37);
        EXPECT_EQ(rect.top, 41);
        EXPECT_EQ(rect.right - rect.left, 500);
        EXPECT_EQ(rect.bottom - rect.top, 220);
        EXPECT_TRUE(ExStyle(again.m_hWnd) & WS_EX_LAYERED);
        EXPECT_FALSE(ExStyle(again.m_hWnd) & WS_EX_TOPMOST);
        EXPECT_EQ(Alpha(again.m_hWnd), 204);
        // Auto came back on: one more toggle writes it as off.
        SendMessageW(again.m_hWnd, WM_SYSCOMMAND, kAuto, 0);
        EXPECT_EQ(again.Close(), 0);
    }
    const std::vector<std::string> after = {"[Settings]",     "WindowLeft=37",  "WindowTop=41",
                                            "WindowWidth=500", "WindowHeight=220", "AlwaysOnTop=0",
                                            "Translucent=1",   "Auto=0"};
    EXPECT_EQ(IniLines(folder), after);
}

TEST(EndToEnd, RealOleDragOfTextIsTakenAndIdentified)
{
    const std::wstring folder = FreshFolder(L"e2e-drag");
    CRunningProgram program(folder);
    ASSERT_TRUE(program.m_ready);
    SetWindowPos(program.m_hWnd, nullptr, 60, 60, 400, 160, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(program.m_hWnd, WM_SYSCOMMAND, kAuto, 0);  // identify on drop

    const Sample& sample = kSamples[2];  // Russian
    DWORD effect = 0;
    const HRESULT result = DragText(sample.text, CentreOf(program.m_hText), effect);
    EXPECT_EQ(result, DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(RemoteText(program.m_hText), sample.text);
    EXPECT_TRUE(IsWindowEnabled(program.m_hJudge));
    const std::wstring verdict = RemoteText(program.m_hResult);
    EXPECT_TRUE(StartsWith(verdict, sample.language)) << CRunningProgram::Narrow(verdict);
    EXPECT_EQ(program.Close(), 0);
}

TEST(EndToEnd, StartedMinimisedItLoadsAndSavesItsRestoredBounds)
{
    const std::wstring folder = FreshFolder(L"e2e-minimised");
    CRunningProgram program(folder, L"", SW_SHOWMINIMIZED);
    ASSERT_TRUE(program.m_ready);  // the profiles were loaded although the window is minimised
    EXPECT_TRUE(IsIconic(program.m_hWnd));
    EXPECT_TRUE(StartsWith(program.Identify(kSamples[0].text), kSamples[0].language));
    EXPECT_EQ(program.Close(), 0);
    const std::vector<std::string> expected = {"[Settings]",      "WindowLeft=0",     "WindowTop=0",
                                               "WindowWidth=400", "WindowHeight=160", "AlwaysOnTop=0",
                                               "Translucent=0",   "Auto=0"};
    EXPECT_EQ(IniLines(folder), expected);
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_tests <path of Tonguemeter.exe>\n");
        return 2;
    }
    g_programPath = ToWindowsPath(argv[1]);
    OleInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
