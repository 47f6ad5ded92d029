// The application object: its initial state and what its destruction frees.
#include "TestSupport.h"
#include "Tonguemeter.h"
#include "ProfileWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

TEST(Application, FreshObjectHoldsTheDefaults)
{
    CTonguemeter app(GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleHandleW(nullptr), app.m_hInstance);
    // No window, font, drop target or brush yet.
    EXPECT_TRUE(!app.m_hWnd && !app.m_hText && !app.m_hJudge && !app.m_hResult && !app.m_font.Get() &&
                !app.m_dropTarget && !app.m_flashBrush.Get());
    EXPECT_EQ((std::array<int, 4>{0, 0, 400, 160}),
              (std::array<int, 4>{app.m_windowLeft, app.m_windowTop, app.m_windowWidth, app.m_windowHeight}));
    EXPECT_FALSE(app.m_alwaysOnTop || app.m_translucent || app.m_auto || app.m_flashing);
    EXPECT_EQ(80, app.m_opacityPercent);
    EXPECT_EQ(0, app.m_identifier.GetProfileCount());
    // The message font is a real one, taken from the platform.
    EXPECT_NE(0, app.m_messageFont.lfHeight);
    EXPECT_NE(L'\0', app.m_messageFont.lfFaceName[0]);
}

// Without a window ever created, destroying the object frees every profile it holds.
TEST(Application, DestructionFreesEveryProfile)
{
    const std::vector<uint8_t> blob = WriteBlob(PlaceKeys({{u"a", 3}, {u"ab", 1}}, NextPrimeAbove(4)), 4);
    const long before = LiveAllocations();
    auto app = std::make_unique<CTonguemeter>(GetModuleHandleW(nullptr));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(app->m_identifier.LoadProfile(u"test", blob.data(), blob.size()));
    ASSERT_NE(nullptr, app->m_identifier.Identify(u"abab"));
    EXPECT_GT(LiveAllocations(), before + 5);
    app.reset();
    EXPECT_EQ(before, LiveAllocations());
}

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

TEST(Application, MessageFontFallsBackToTheStockGuiFont)
{
    LOGFONTW stock = {};
    ASSERT_NE(0, GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock));
    CImportPatch patch("user32.dll", "SystemParametersInfoW", reinterpret_cast<void*>(&OlderSystemParametersInfoW));
    ASSERT_NE(nullptr, patch.m_slot);
    g_realSystemParametersInfo = reinterpret_cast<SystemParametersInfoFunction>(patch.m_original);
    CTonguemeter app(GetModuleHandleW(nullptr));
    EXPECT_EQ(0, memcmp(&stock, &app.m_messageFont, sizeof(LOGFONTW)));
}
