// The application object: its initial state and what its destruction frees.
#include "TestSupport.h"
#include "Tonguemeter.h"
#include "ProfileWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

TEST(Application, FreshObjectHoldsTheDefaults)
{
    CTonguemeter app(GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleHandleW(nullptr), app.m_hInstance);
    EXPECT_EQ(nullptr, app.m_hWnd);
    EXPECT_EQ(nullptr, app.m_hText);
    EXPECT_EQ(nullptr, app.m_hJudge);
    EXPECT_EQ(nullptr, app.m_hResult);
    EXPECT_EQ(0, app.m_windowLeft);
    EXPECT_EQ(0, app.m_windowTop);
    EXPECT_EQ(400, app.m_windowWidth);
    EXPECT_EQ(160, app.m_windowHeight);
    EXPECT_EQ(nullptr, app.m_hFont);
    EXPECT_EQ(nullptr, app.m_dropTarget);
    EXPECT_FALSE(app.m_alwaysOnTop);
    EXPECT_FALSE(app.m_translucent);
    EXPECT_EQ(80, app.m_opacityPercent);
    EXPECT_FALSE(app.m_auto);
    EXPECT_EQ(0, app.m_identifier.GetProfileCount());
    EXPECT_FALSE(app.m_flashing);
    EXPECT_EQ(nullptr, app.m_hFlashBrush);
    // The message font is a real one, taken from the platform.
    EXPECT_NE(0, app.m_messageFont.lfHeight);
    EXPECT_NE(L'\0', app.m_messageFont.lfFaceName[0]);
}

TEST(Application, IsTheDropHandlerAtTheStartOfTheObject)
{
    CTonguemeter app(GetModuleHandleW(nullptr));
    CDropTarget::CEventHandler* handler = &app;
    EXPECT_EQ(static_cast<void*>(&app), static_cast<void*>(handler));
}

// Whether or not a window ever existed, destroying the object frees every profile it holds.
TEST(Application, DestructionFreesEveryProfile)
{
    const std::vector<uint8_t> blob =
        WriteBlob(PlaceKeys({{u"a", 3}, {u"ab", 1}}, NextPrimeAbove(4)), 4);
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
    void** slot = FindImportSlot("user32.dll", "SystemParametersInfoW");
    ASSERT_NE(nullptr, slot);
    LOGFONTW stock = {};
    ASSERT_NE(0, GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock));

    CImportPatch patch(slot, reinterpret_cast<void*>(&OlderSystemParametersInfoW));
    g_realSystemParametersInfo = reinterpret_cast<SystemParametersInfoFunction>(patch.Original());
    CTonguemeter app(GetModuleHandleW(nullptr));
    EXPECT_EQ(0, memcmp(&stock, &app.m_messageFont, sizeof(LOGFONTW)));
}
