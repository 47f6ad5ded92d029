// Helpers shared by the Windows-side tests, the end-to-end test included.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "CountingNew.h"  // LiveAllocations(), for the programs that link CountingNew.cpp

// The folder of the test program, with a trailing backslash.
std::wstring TestProgramFolder();

std::wstring WindowText(HWND window);
std::string Utf8(const std::wstring& text);
// The window's layered alpha, or 0 when it has none.
BYTE Alpha(HWND window);

// The non-empty lines of a text file, without line ends; none when it cannot be read.
std::vector<std::string> FileLines(const std::wstring& path);
// Writes `bytes` as the whole file; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Puts Unicode text on the clipboard (nothing, leaving it empty, for null) with `owner` as its owner,
// as another program does; false when the clipboard could not be had or did not take the text.
bool PutOnClipboard(HWND owner, const wchar_t* text);

// Translates and handles every queued message of this thread as a message loop does, and removes
// WM_QUIT too, so that a quit posted by a destroyed main window does not end a later modal loop.
inline void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Polls until `done` holds or `seconds` pass, handling this thread's messages meanwhile; only for
// waiting on another process or on input. False on the timeout.
template <typename Condition>
bool WaitFor(Condition done, double seconds)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (; !done(); Sleep(10)) {
        if (GetTickCount64() > end)
            return false;
        PumpMessages();
    }
    return true;
}

// A hook on this thread, removed with the object.
class CThreadHook
{
public:
    CThreadHook(int type, HOOKPROC procedure)
        : m_hHook(SetWindowsHookExW(type, procedure, nullptr, GetCurrentThreadId()))
    {
    }
    ~CThreadHook() { UnhookWindowsHookEx(m_hHook); }
    CThreadHook(const CThreadHook&) = delete;
    CThreadHook& operator=(const CThreadHook&) = delete;

private:
    HHOOK m_hHook;
};

// A plain visible top-level window, with an optional read-only edit child standing in for the result
// label. Destroyed with the object.
class CTestWindow
{
public:
    CTestWindow(int x, int y, int width, int height, bool withLabel = false);
    ~CTestWindow() { DestroyWindow(m_hWnd); }
    CTestWindow(const CTestWindow&) = delete;
    CTestWindow& operator=(const CTestWindow&) = delete;

    HWND m_hWnd;    // owned
    HWND m_hLabel;  // child of m_hWnd, or null
};

// Points this program's import of `function` from `dll` elsewhere for the life of the object, so
// that a replacement can act as a platform that behaves differently. m_slot is null when the
// program does not import the function.
class CImportPatch
{
public:
    CImportPatch(const char* dll, const char* function, void* replacement);
    ~CImportPatch() { Write(m_original); }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    void** m_slot;      // borrowed: inside the program's image
    void* m_original;   // a replacement calls the real function through this, not by name

private:
    void Write(void* value);
};

// The parts of IDataObject that the tests' text sources never offer; a source adds the unknown
// methods, QueryGetData and GetData.
class CTextSourceBase : public IDataObject
{
public:
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override { out->ptd = nullptr; return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC** out) override { *out = nullptr; return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** out) override { *out = nullptr; return OLE_E_ADVISENOTSUPPORTED; }
};
