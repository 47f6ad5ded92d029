// Small owners for GDI resources: an object (font, brush) deleted when it is replaced or its owner
// goes, and a window's device context with a font selected, both undone at the end of a scope.
#pragma once

#include <windows.h>

template <typename Handle>
class CGdiObject
{
public:
    CGdiObject() = default;
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    Handle Get() const { return m_handle; }

    // Deletes the object held (if any) and takes `handle`; safe to call again.
    void Reset(Handle handle = nullptr)
    {
        if (m_handle)
            DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;  // owned
};

// GetDC(window) with `font` selected; the previous object goes back and the context is released
// when the object goes. A null font leaves the context's own.
class CFontDC
{
public:
    CFontDC(HWND window, HFONT font)
        : m_hWnd(window), m_hDC(GetDC(window)), m_previous(font ? SelectObject(m_hDC, font) : nullptr)
    {
    }
    ~CFontDC()
    {
        if (m_previous)
            SelectObject(m_hDC, m_previous);
        ReleaseDC(m_hWnd, m_hDC);
    }
    CFontDC(const CFontDC&) = delete;
    CFontDC& operator=(const CFontDC&) = delete;

    HDC Get() const { return m_hDC; }

    TEXTMETRICW Metrics() const
    {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(m_hDC, &metrics);
        return metrics;
    }

private:
    HWND m_hWnd;         // borrowed
    HDC m_hDC;           // owned: released with m_hWnd
    HGDIOBJ m_previous;  // borrowed: the context's object before the font
};
