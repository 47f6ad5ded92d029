// Resource and control ids, and the maker's texts shown in the About box and the version resource.
// Read by both the resource compiler and C++, so it holds nothing but #define lines.
#pragma once

// Icon group of the window class and the About box.
#define IDI_APP             1

// About box (dialog 10) and its link control.
#define IDD_ABOUT           10
#define IDC_LINK            100

// Controls of the main window.
#define IDC_TEXT            100
#define IDC_JUDGE           101
#define IDC_RESULT          102

// Own system-menu commands; the platform keeps the four low bits of a system command for itself.
#define IDM_ALWAYSONTOP     0xE010
#define IDM_TRANSLUCENT     0xE020
#define IDM_AUTO            0xE030
#define IDM_ABOUT           0xE040
#define IDM_CLIPBOARD       0xE050

// The flash timer of the result label.
#define IDT_FLASH           1

// The maker: one place for the home page, the copyright line and the company name. The About box
// gives the link 96 and the copyright line 120 dialog units: longer texts would wrap out of sight.
#define TM_HOME_PAGE        "https://tm.example.org/"
#define TM_COPYRIGHT        "Copyright (C) 2026 Tonguemeter"
#define TM_COMPANY          "Tonguemeter developers"
// The version as its texts give it: the version resource, the About box and the release packages
// (scripts/release.sh reads it from here).
#define TM_VERSION_TEXT     "0.1.0"
// The name line of the About box; the copyright line follows it after one line feed.
#define TM_NAME_LINE        "Tonguemeter ver." TM_VERSION_TEXT
