// Helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Number of operator new blocks not yet deleted, counted over the whole test program.
long LiveAllocations();

// The folder of the test program, with a trailing backslash.
std::wstring TestProgramFolder();

std::wstring WindowText(HWND window);

// A plain visible top-level window (and an optional read-only edit child) standing in for the main
// window and its result label. Destroyed with the object.
class CTestWindow
{
public:
    CTestWindow(int x, int y, int width, int height, bool withLabel = false);
    ~CTestWindow();
    CTestWindow(const CTestWindow&) = delete;
    CTestWindow& operator=(const CTestWindow&) = delete;

    HWND m_hWnd;    // owned
    HWND m_hLabel;  // child of m_hWnd, or null
};

// Watches this thread for message boxes while it exists: each one that opens is recorded (text,
// caption, owner, and the text of `label` at that moment) and closed with its OK button, so a test
// never hangs on a modal box. Recording allocates nothing, so allocation counts stay exact.
class CMessageBoxWatcher
{
public:
    struct Seen
    {
        wchar_t text[256];
        wchar_t caption[256];
        HWND owner;
        HICON icon;  // the icon the box shows
        bool hasCancel;
        wchar_t labelText[256];
    };

    explicit CMessageBoxWatcher(HWND label = nullptr);
    ~CMessageBoxWatcher();
    CMessageBoxWatcher(const CMessageBoxWatcher&) = delete;
    CMessageBoxWatcher& operator=(const CMessageBoxWatcher&) = delete;

    static const int kMaxSeen = 8;
    Seen m_seen[kMaxSeen];
    int m_seenCount;

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hHook;  // owned
    HWND m_hLabel;  // borrowed
};
