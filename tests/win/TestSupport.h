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

// The slot of this program's import table through which it calls `function` of `dll`, or null.
void** FindImportSlot(const char* dll, const char* function);

// Points an import slot elsewhere for the life of the object: the program's calls of that function
// reach the replacement, which can act as a platform that behaves differently.
class CImportPatch
{
public:
    CImportPatch(void** slot, void* replacement);
    ~CImportPatch();
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    // The function the slot held before: a replacement calls the real function through this (a
    // call by name would come back through the patched slot).
    void* Original() const { return m_original; }

private:
    void Write(void* value);

    void** m_slot;      // borrowed: inside the program's image
    void* m_original;
};
