// Dropped text and files and the clipboard watch on the real main window in this process: what the
// input box, the label and the button show for each drop and each clipboard change.
#include "WindowTestSupport.h"

#include "../../res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

const wchar_t kBefore[] = L"the text that was in the box before";
const wchar_t kGerman[] = L"Die Datei konnte leider nicht gespeichert werden, weil die Festplatte voll ist.";
const wchar_t kFrench[] = L"Le fichier n'a pas pu être enregistré parce que le disque est plein.";

// A file beside the test program, removed with the object.
struct CTempFile
{
    CTempFile(const wchar_t* name, const std::string& bytes) : m_path(TestProgramFolder() + name)
    {
        WriteFileBytes(m_path, bytes);
    }
    ~CTempFile() { DeleteFileW(m_path.c_str()); }
    std::wstring m_path;
};

// The listener's message follows a change of the clipboard.
void PumpClipboardUpdates()
{
    PumpMessages();
    Sleep(100);
    PumpMessages();
}

class ClipboardAndFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        m_app->LoadLanguages();
        Reset();
    }

    // The box holds kBefore, the button is disabled and the label shows "previous", not flashing.
    void Reset()
    {
        SetWindowTextW(m_app->m_hText, kBefore);
        EnableWindow(m_app->m_hJudge, FALSE);
        SetWindowTextW(m_app->m_hResult, L"previous");
        SendMessageW(m_app->m_hWnd, WM_TIMER, IDT_FLASH, 0);
    }

    void ExpectUntouched(const std::wstring& label, const std::string& what)
    {
        EXPECT_EQ(std::make_tuple(WindowText(m_app->m_hText), IsWindowEnabled(m_app->m_hJudge),
                                  WindowText(m_app->m_hResult)),
                  std::make_tuple(std::wstring(kBefore), FALSE, label)) << what;
    }

    // The watch turned on from the system menu.
    void Watch()
    {
        SendMessageW(m_app->m_hWnd, WM_SYSCOMMAND, IDM_CLIPBOARD, 0);
        ASSERT_TRUE(m_app->m_clipboard);
    }

    // A clipboard change that the watch passes over.
    void ExpectPassedOver(const std::string& what)
    {
        PumpClipboardUpdates();
        ExpectUntouched(L"previous", what);
    }

    CTestApp m_app;
    CTestWindow m_other{0, 0, 50, 50};  // another program's window, as far as the watch can tell
};

// Puts kFrench on the clipboard the first time the label shows "判定中...": while the first text is
// being identified.
HWND g_label = nullptr;
HWND g_owner = nullptr;
bool g_changed = false;

LRESULT CALLBACK ChangeClipboardWhileJudging(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && !g_changed && sent->hwnd == g_label && sent->message == WM_SETTEXT &&
        std::wstring(reinterpret_cast<const wchar_t*>(sent->lParam)) == L"判定中...") {
        g_changed = true;
        PutOnClipboard(g_owner, kFrench);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// Dropped text, or a text file (decoded as the command-line tool decodes it, which its checks cover),
// goes into the box selected whole and enables the button; with Auto on it is identified and flashes
// at once, but never a single unit. Empty drops change nothing, even with Auto on.
TEST_F(ClipboardAndFiles, DroppedTextAndTextFilesGoIntoTheBoxAndAutoIdentifiesThem)
{
    const struct
    {
        const wchar_t* name;  // null: `text` is dropped as text
        std::string bytes;
        std::wstring text;
        bool automatic, identified;
    } drops[] = {
        {nullptr, "", kGerman, false, false},
        {nullptr, "", kGerman, true, true},
        {nullptr, "", L"z", true, false},
        {L"drop-utf8.txt", "\xEF\xBB\xBF" + Utf8(kGerman), kGerman, true, true},
        // A NUL past the first 4 KiB is no sign of a binary file; the text ends there.
        {L"drop-late-nul.txt", std::string(5000, 'a') + '\0' + "tail", std::wstring(5000, L'a'), false, false},
    };
    for (const auto& d : drops) {
        SCOPED_TRACE((d.name ? Utf8(d.name) : Utf8(d.text)) + (d.automatic ? ", Auto on" : ""));
        Reset();
        m_app->m_auto = d.automatic;
        if (d.name) {
            CTempFile file(d.name, d.bytes);
            EXPECT_TRUE(m_app->OnDropFile(file.m_path.c_str()));
        } else {
            m_app->OnDropText(d.text.c_str());
        }
        EXPECT_EQ(GetWindowTextLengthW(m_app->m_hText), static_cast<int>(d.text.size()));
        if (d.text.size() < 500) {
            EXPECT_EQ(WindowText(m_app->m_hText), d.text);
        }
        EXPECT_EQ(Selection(m_app->m_hText), std::make_pair(DWORD(0), static_cast<DWORD>(d.text.size())));
        EXPECT_TRUE(IsWindowEnabled(m_app->m_hJudge));
        EXPECT_EQ(WindowText(m_app->m_hResult), d.identified ? VerdictOf(*m_app, d.text) : L"previous");
        EXPECT_EQ(m_app->m_flashing, d.identified);
    }
    m_app->m_auto = true;
    for (const wchar_t* empty : {L"", static_cast<const wchar_t*>(nullptr)}) {
        Reset();
        m_app->OnDropText(empty);
        ExpectUntouched(L"previous", empty ? "an empty drop" : "a null drop");
    }
}

// A folder, files that cannot be read, one over the limit and binary ones leave the box as it was,
// and the label says why, even with Auto on.
TEST_F(ClipboardAndFiles, FilesThatCannotBeTakenLeaveTheBoxAndSayWhy)
{
    m_app->m_auto = true;
    CTempFile locked(L"drop-locked.txt", "locked text");
    HANDLE lock = CreateFileW(locked.m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CTempFile huge(L"drop-huge.txt", std::string(CTonguemeter::kMaxDropBytes + 1, 'a'));
    CTempFile binary(L"drop-binary.bin", std::string("MZ\x90\0\x03\0\0\0", 8) + "text after the header");
    CTempFile utf16WithNul(L"drop-utf16-nul.txt", std::string("\xFF\xFE\0\0a\0b\0", 8));  // NUL, "ab"
    const std::wstring folder = TestProgramFolder() + L"drop-folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    const struct
    {
        std::wstring path;
        const wchar_t* label;
    } refused[] = {
        {folder, L"フォルダーは判定できません"},
        {TestProgramFolder() + L"no-such-file.txt", L"ファイルを読めません"},
        {locked.m_path, L"ファイルを読めません"},
        {huge.m_path, L"ファイルが大きすぎます"},
        {binary.m_path, L"テキストファイルではありません"},
        // With a UTF-16 byte-order mark NULs are ordinary: this text merely ends at once, and an
        // empty drop changes nothing.
        {utf16WithNul.m_path, L"previous"},
    };
    for (const auto& r : refused) {
        Reset();
        EXPECT_FALSE(m_app->OnDropFile(r.path.c_str())) << Utf8(r.path);
        ExpectUntouched(r.label, Utf8(r.path));
    }
    CloseHandle(lock);
    RemoveDirectoryW(folder.c_str());

    // Exactly at the limit the file is taken (in lines: the input box wraps one long line slowly).
    std::string lines;
    while (lines.size() < CTonguemeter::kMaxDropBytes)
        lines += "A line of text that fills the file up to the limit.\r\n";
    lines.resize(CTonguemeter::kMaxDropBytes);
    CTempFile limit(L"drop-limit.txt", lines);
    m_app->m_auto = false;
    EXPECT_TRUE(m_app->OnDropFile(limit.m_path.c_str()));
    EXPECT_EQ(GetWindowTextLengthW(m_app->m_hText), static_cast<int>(CTonguemeter::kMaxDropBytes));
}

// Other programs' text (the first without an owning window) replaces the box's as one step that
// Ctrl+Z takes back, and is identified at once, whatever Auto says. A change that comes while a text
// is being identified is taken after it. Off, the listener is gone.
TEST_F(ClipboardAndFiles, WatchedClipboardTextIsIdentifiedAndCtrlZBringsTheOldTextBack)
{
    Watch();
    m_app->m_auto = false;
    g_label = m_app->m_hResult;
    g_owner = m_other.m_hWnd;
    g_changed = false;
    {
        CThreadHook hook(WH_CALLWNDPROC, ChangeClipboardWhileJudging);
        ASSERT_TRUE(PutOnClipboard(nullptr, kGerman));
        EXPECT_TRUE(WaitFor([&] { return WindowText(m_app->m_hText) == kFrench; }, 5))
            << Utf8(WindowText(m_app->m_hText));
    }
    EXPECT_TRUE(g_changed);
    EXPECT_EQ(WindowText(m_app->m_hResult), VerdictOf(*m_app, kFrench));
    EXPECT_TRUE(IsWindowEnabled(m_app->m_hJudge));
    EXPECT_EQ(Selection(m_app->m_hText), std::make_pair(DWORD(0), static_cast<DWORD>(wcslen(kFrench))));
    SendMessageW(m_app->m_hText, EM_UNDO, 0, 0);
    EXPECT_EQ(WindowText(m_app->m_hText), kGerman);

    SendMessageW(m_app->m_hWnd, WM_SYSCOMMAND, IDM_CLIPBOARD, 0);
    Reset();
    ASSERT_TRUE(PutOnClipboard(m_other.m_hWnd, kFrench));
    PumpClipboardUpdates();
    SendMessageW(m_app->m_hWnd, WM_CLIPBOARDUPDATE, 0, 0);
    ExpectPassedOver("watch off");
}

// Passed over: the program's own copies, an empty clipboard, other formats, text over the limit, and
// an update while another window holds the clipboard open (not retried when it is free again).
TEST_F(ClipboardAndFiles, TheWatchPassesOverOwnCopiesEmptyOrHugeClipboardsAndABusyOne)
{
    Watch();
    SendMessageW(m_app->m_hText, EM_SETSEL, 4, 8);
    SendMessageW(m_app->m_hText, WM_COPY, 0, 0);
    ExpectPassedOver("the input box's own copy");
    ASSERT_TRUE(PutOnClipboard(m_other.m_hWnd, nullptr));
    ExpectPassedOver("an empty clipboard");

    ASSERT_TRUE(OpenClipboard(m_other.m_hWnd));
    EmptyClipboard();
    SetClipboardData(RegisterClipboardFormatW(L"Tonguemeter test format"), GlobalAlloc(GMEM_MOVEABLE, 4));
    CloseClipboard();
    ExpectPassedOver("no text on the clipboard");
    ASSERT_TRUE(PutOnClipboard(m_other.m_hWnd, std::wstring(CTonguemeter::kMaxWatchedUnits + 1, L'a').c_str()));
    ExpectPassedOver("text over the limit");

    ASSERT_TRUE(PutOnClipboard(m_other.m_hWnd, kGerman));
    ASSERT_TRUE(OpenClipboard(m_other.m_hWnd));  // busy: the update finds it held open
    PumpClipboardUpdates();
    SendMessageW(m_app->m_hWnd, WM_CLIPBOARDUPDATE, 0, 0);
    CloseClipboard();
    ExpectPassedOver("a busy clipboard");
}
