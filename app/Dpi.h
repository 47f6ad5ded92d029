// Dots per inch of the screen, a monitor and a window, and the message font for a DPI. The
// functions that only newer systems have (per-monitor DPI) are looked up at run time; where they are
// missing, the system DPI answers.
#pragma once

#include <windows.h>

// The DPI that the platform's sizes were made for: 96 is 100 %.
const UINT kBaseDpi = 96;

UINT SystemDpi();
UINT DpiOfMonitor(HMONITOR monitor);
UINT DpiOfWindow(HWND window);
// The DPI of the monitor that holds the point, or of the primary monitor when none does.
UINT DpiAtPoint(POINT point);

// `value` pixels at 96 DPI, at `dpi`.
inline int ScaleForDpi(int value, UINT dpi)
{
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

// The message font of the non-client metrics for `dpi` (SystemParametersInfoForDpi where the system
// has it; otherwise the system's metrics, its height scaled from the system DPI). False, with `font`
// unchanged, when the platform gives no metrics.
bool MessageFontForDpi(UINT dpi, LOGFONTW& font);
