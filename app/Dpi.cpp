#include "Dpi.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND);
typedef HRESULT(WINAPI* GetDpiForMonitorFunction)(HMONITOR, int, UINT*, UINT*);
typedef BOOL(WINAPI* SystemParametersInfoForDpiFunction)(UINT, UINT, void*, UINT, UINT);

const int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// A function of user32 (always loaded), or null where this system lacks it.
template <typename Function>
Function User32Function(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

// The monitor's DPI where the system knows it (shcore.dll, Windows 8.1 on; it stays loaded once
// asked for), else the system DPI.
UINT DpiOfMonitor(HMONITOR monitor)
{
    static const auto getDpiForMonitor = [] {
        HMODULE shcore = LoadLibraryW(L"shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFunction>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    UINT x = 0, y = 0;
    if (getDpiForMonitor && monitor && getDpiForMonitor(monitor, kEffectiveDpi, &x, &y) == S_OK && y > 0)
        return y;
    return SystemDpi();
}

UINT DpiOfWindow(HWND window)
{
    const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? dpi : DpiOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

UINT DpiAtPoint(POINT point)
{
    HMONITOR monitor = MonitorFromPoint(point, MONITOR_DEFAULTTONULL);
    return DpiOfMonitor(monitor ? monitor : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

bool MessageFontForDpi(UINT dpi, LOGFONTW& font)
{
    const auto forDpi = User32Function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        font = metrics.lfMessageFont;
        return true;
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return true;
}
