#include "Tonguemeter.h"

#include "Dpi.h"

// The message font is taken from the full structure, iPaddedBorderWidth included; platforms that
// know only the shorter one reject the request and the stock GUI font is used instead.
static_assert(sizeof(NONCLIENTMETRICSW) == 504, "NONCLIENTMETRICSW must include iPaddedBorderWidth");

CTonguemeter::CTonguemeter(HINSTANCE instance)
    : m_hInstance(instance),
      m_iniPath(),
      m_hWnd(nullptr),
      m_hText(nullptr),
      m_hJudge(nullptr),
      m_hResult(nullptr),
      m_windowLeft(0),
      m_windowTop(0),
      m_windowWidth(kDefaultWidth),
      m_windowHeight(kDefaultHeight),
      m_textProc(nullptr),
      m_resultProc(nullptr),
      m_messageFont(),
      m_font(),
      m_lineHeight(0),
      m_dpi(kBaseDpi),
      m_dropTarget(nullptr),
      m_alwaysOnTop(false),
      m_translucent(false),
      m_opacityPercent(80),
      m_auto(false),
      m_clipboard(false),
      m_flashing(false),
      m_flashBrush()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        m_messageFont = metrics.lfMessageFont;
    else
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &m_messageFont);
}

// Windows, the font and the drop target are released while the main window is destroyed; the
// identifier, a member, frees every loaded profile here.
CTonguemeter::~CTonguemeter() {}
