// The application object's message font: the platform's, or the stock GUI font where the platform
// knows only the shorter NONCLIENTMETRICSW. (Its defaults show in the window and settings tests;
// what its destruction frees, in the loader tests.)
#include "TestSupport.h"
#include "Tonguemeter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using SystemParametersInfoFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
SystemParametersInfoFunction g_realSystemParametersInfo = nullptr;

// A platform that knows only the shorter NONCLIENTMETRICSW: it rejects the 504-byte request.
BOOL WINAPI OlderSystemParametersInfoW(UINT action, UINT size, void* data, UINT flags)
{
    if (action == SPI_GETNONCLIENTMETRICS && size == 504)
        return FALSE;
    return g_realSystemParametersInfo(action, size, data, flags);
}

}  // namespace

TEST(Application, MessageFontIsThePlatformsOrTheStockGuiFont)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    LOGFONTW stock = {};
    ASSERT_NE(0, GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock));
    ASSERT_NE(0, memcmp(&stock, &metrics.lfMessageFont, sizeof(LOGFONTW)));  // else nothing is told apart
    const CTonguemeter platform(GetModuleHandleW(nullptr));
    EXPECT_EQ(0, memcmp(&metrics.lfMessageFont, &platform.m_messageFont, sizeof(LOGFONTW)))
        << "expected the platform's " << Utf8(metrics.lfMessageFont.lfFaceName) << ", got "
        << Utf8(platform.m_messageFont.lfFaceName) << " of height " << platform.m_messageFont.lfHeight;

    CImportPatch patch("user32.dll", "SystemParametersInfoW", reinterpret_cast<void*>(&OlderSystemParametersInfoW));
    ASSERT_NE(nullptr, patch.m_slot);
    g_realSystemParametersInfo = reinterpret_cast<SystemParametersInfoFunction>(patch.m_original);
    const CTonguemeter older(GetModuleHandleW(nullptr));
    EXPECT_EQ(0, memcmp(&stock, &older.m_messageFont, sizeof(LOGFONTW)))
        << "expected the stock " << Utf8(stock.lfFaceName) << ", got " << Utf8(older.m_messageFont.lfFaceName)
        << " of height " << older.m_messageFont.lfHeight;
}
