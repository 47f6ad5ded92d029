// The About box (dialog 10): icon, name and version, copyright line and the home page link.
#pragma once

#include <windows.h>

// The underlined font of the link; exists only while the About box is open (it is modal, so there is
// at most one), and is made again when the box's DPI changes.
extern HFONT g_linkFont;

// Opens the home page. The About box calls the platform's ShellExecuteW through this pointer; tests
// put a recorder here so that no browser starts.
typedef HINSTANCE(WINAPI* OpenAddressFunction)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern OpenAddressFunction g_openAddress;

// The home page that the link shows and opens.
extern const wchar_t g_homePage[];

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
