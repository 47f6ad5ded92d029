// The entry: start-up and shutdown in a fixed order, and the message loop. The start-up operations of
// the application object live with the window procedure in MainWindow.cpp, so that test programs
// create the main window exactly as the program does.
#include "Tonguemeter.h"

namespace {

// No accelerators and no dialog-message filtering: Tab does not move between the controls.
int RunMessageLoop()
{
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int showCommand)
{
    int exitCode = 0;
    {
        CTonguemeter app(instance);
        // Without OLE the drop registration fails and the program runs without drag and drop.
        OleInitialize(nullptr);
        if (app.Initialize() && app.CreateMainWindow()) {
            ShowWindow(app.m_hWnd, showCommand);
            app.LoadLanguages();
            exitCode = RunMessageLoop();
        }
        // OLE goes first; the object, and with it every profile, when the block ends.
        OleUninitialize();
    }
    return exitCode;
}
