#include "Tonguemeter.h"

#include "Dpi.h"

#include <shlwapi.h>

namespace {

const wchar_t kSection[] = L"Settings";

// Writes one key as "%d" text; a failure (unwritable folder or file) is not reported.
void WriteInt(const wchar_t* key, int value, const wchar_t* path)
{
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    WritePrivateProfileStringW(kSection, key, text, path);
}

int ReadInt(const wchar_t* key, int defaultValue, const wchar_t* path)
{
    // GetPrivateProfileIntW keeps a leading minus sign, so negative coordinates read back.
    return static_cast<int>(GetPrivateProfileIntW(kSection, key, defaultValue, path));
}

}  // namespace

// The ini file beside the executable; a missing file, section or key leaves the field at its
// current value, the constructor's default (the size scaled for the DPI). An old file without
// Clipboard reads as off.
void CTonguemeter::LoadSettings()
{
    GetModuleFileNameW(nullptr, m_iniPath, MAX_PATH);
    PathRenameExtensionW(m_iniPath, L".ini");

    m_windowLeft = ReadInt(L"WindowLeft", m_windowLeft, m_iniPath);
    m_windowTop = ReadInt(L"WindowTop", m_windowTop, m_iniPath);
    // Stored sizes are physical pixels; a size missing from the file is the default one made for the
    // DPI of the monitor at the stored position (or of the primary monitor).
    const UINT dpi = DpiAtPoint(POINT{m_windowLeft, m_windowTop});
    m_windowWidth = ReadInt(L"WindowWidth", ScaleForDpi(m_windowWidth, dpi), m_iniPath);
    m_windowHeight = ReadInt(L"WindowHeight", ScaleForDpi(m_windowHeight, dpi), m_iniPath);
    m_alwaysOnTop = ReadInt(L"AlwaysOnTop", m_alwaysOnTop, m_iniPath) != 0;
    m_translucent = ReadInt(L"Translucent", m_translucent, m_iniPath) != 0;
    m_auto = ReadInt(L"Auto", m_auto, m_iniPath) != 0;
    m_clipboard = ReadInt(L"Clipboard", m_clipboard, m_iniPath) != 0;
}

// Takes the restored bounds of the main window (physical pixels, whatever the DPI), minimised or
// maximised or not, and writes all eight keys. Called once, while the main window is being destroyed.
void CTonguemeter::SaveSettings()
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(m_hWnd, &placement);
    RECT bounds = placement.rcNormalPosition;

    // The restored rectangle is in workspace coordinates; the next start creates the window in
    // screen coordinates, so add the offset of the work area (a taskbar at the left or top).
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        OffsetRect(&bounds, monitor.rcWork.left - monitor.rcMonitor.left,
                   monitor.rcWork.top - monitor.rcMonitor.top);

    m_windowLeft = bounds.left;
    m_windowTop = bounds.top;
    m_windowWidth = bounds.right - bounds.left;
    m_windowHeight = bounds.bottom - bounds.top;

    WriteInt(L"WindowLeft", m_windowLeft, m_iniPath);
    WriteInt(L"WindowTop", m_windowTop, m_iniPath);
    WriteInt(L"WindowWidth", m_windowWidth, m_iniPath);
    WriteInt(L"WindowHeight", m_windowHeight, m_iniPath);
    WriteInt(L"AlwaysOnTop", m_alwaysOnTop ? 1 : 0, m_iniPath);
    WriteInt(L"Translucent", m_translucent ? 1 : 0, m_iniPath);
    WriteInt(L"Auto", m_auto ? 1 : 0, m_iniPath);
    WriteInt(L"Clipboard", m_clipboard ? 1 : 0, m_iniPath);
}
