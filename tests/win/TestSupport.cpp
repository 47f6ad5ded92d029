#include "TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <new>

// ---- Allocation counting: every operator new of the program goes through here.

namespace {
std::atomic<long> g_liveAllocations{0};
}

long LiveAllocations()
{
    return g_liveAllocations.load();
}

void* operator new(size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    ++g_liveAllocations;
    return block;
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}

void operator delete(void* block) noexcept
{
    if (block == nullptr)
        return;
    --g_liveAllocations;
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    operator delete(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

void operator delete[](void* block, size_t) noexcept
{
    operator delete(block);
}

// ---- Windows

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

namespace {

// A class of its own: a STATIC window is transparent to hit-testing, so drags would pass through it.
const wchar_t* TestWindowClass()
{
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = L"Tonguemeter Test Window";
        atom = RegisterClassW(&windowClass);
    }
    return L"Tonguemeter Test Window";
}

}  // namespace

CTestWindow::CTestWindow(int x, int y, int width, int height, bool withLabel)
    : m_hWnd(CreateWindowExW(0, TestWindowClass(), L"test window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             x, y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr)),
      m_hLabel(nullptr)
{
    if (withLabel)
        m_hLabel = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 200,
                                   20, m_hWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
}

CTestWindow::~CTestWindow()
{
    DestroyWindow(m_hWnd);
}

// ---- Message boxes

namespace {
CMessageBoxWatcher* g_watcher = nullptr;  // the one active watcher of the test thread
}

CMessageBoxWatcher::CMessageBoxWatcher(HWND label)
    : m_seen(),
      m_seenCount(0),
      m_hHook(SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId())),
      m_hLabel(label)
{
    g_watcher = this;
}

CMessageBoxWatcher::~CMessageBoxWatcher()
{
    UnhookWindowsHookEx(m_hHook);
    g_watcher = nullptr;
}

LRESULT CALLBACK CMessageBoxWatcher::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_watcher != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        GetClassNameW(box, className, 32);
        if (lstrcmpW(className, L"#32770") == 0) {
            // Every box is counted and closed; the first kMaxSeen are recorded.
            if (g_watcher->m_seenCount < kMaxSeen) {
                Seen& seen = g_watcher->m_seen[g_watcher->m_seenCount];
                // The message text of a message box is its static control 0xFFFF.
                GetDlgItemTextW(box, 0xFFFF, seen.text, 256);
                GetWindowTextW(box, seen.caption, 256);
                seen.owner = GetWindow(box, GW_OWNER);
                // The icon control: 20 on Windows, 0x440 in wine's template.
                for (int id : {20, 0x440})
                    if (GetDlgItem(box, id) != nullptr)
                        seen.icon = reinterpret_cast<HICON>(
                            SendDlgItemMessageW(box, id, STM_GETICON, 0, 0));
                // The box itself is not shown yet: look at the button's own style.
                HWND cancel = GetDlgItem(box, IDCANCEL);
                seen.hasCancel =
                    cancel != nullptr && (GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE) != 0;
                if (g_watcher->m_hLabel != nullptr)
                    GetWindowTextW(g_watcher->m_hLabel, seen.labelText, 256);
            }
            ++g_watcher->m_seenCount;
            // Posted: the box's own modal loop picks it up and ends the box.
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- Import patches

void** FindImportSlot(const char* dll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

CImportPatch::CImportPatch(void** slot, void* replacement) : m_slot(slot), m_original(*slot)
{
    Write(replacement);
}

CImportPatch::~CImportPatch()
{
    Write(m_original);
}

void CImportPatch::Write(void* value)
{
    DWORD protection;
    VirtualProtect(m_slot, sizeof(void*), PAGE_READWRITE, &protection);
    *m_slot = value;
    VirtualProtect(m_slot, sizeof(void*), protection, &protection);
}
