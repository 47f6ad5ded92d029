// One real drag and drop through OLE: a source in this thread drags text onto a registered window.
// The edge cases are covered by calling the target directly (DropTargetTest.cpp).
#include "DropTarget.h"
#include "DropTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

void SendButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// The button goes up on OLE's first question, and the drop follows once OLE sees it up. A drag
// that never ends is cancelled.
class CDropSource : public IDropSource
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keyState) override
    {
        if (escape || ++m_questions > 300)
            return DRAGDROP_S_CANCEL;
        if (!(keyState & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        if (m_questions == 1)
            SendButton(MOUSEEVENTF_LEFTUP);
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

    int m_questions = 0;
};

}  // namespace

TEST(OleDrag, TextDraggedOntoARegisteredWindowReachesTheHandler)
{
    CTestWindow window(100, 100, 300, 200);
    ASSERT_NE(nullptr, window.m_hWnd);
    SetForegroundWindow(window.m_hWnd);
    CRecordingHandler handler;
    CDropTarget* target = new CDropTarget;
    target->m_eventHandler = &handler;
    ASSERT_EQ(S_OK, RegisterDragDrop(window.m_hWnd, target));

    // OLE reads the button state through the message queue: press it over the window first.
    RECT rect;
    GetWindowRect(window.m_hWnd, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendButton(MOUSEEVENTF_LEFTDOWN);
    PumpMessages();

    CFakeDataObject data;
    data.SetText(L"Drag and drop ドラッグ");
    CDropSource source;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result =
        DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    SendButton(MOUSEEVENTF_LEFTUP);  // in case the drag was cancelled with the button down
    PumpMessages();

    EXPECT_EQ(DRAGDROP_S_DROP, result);
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    ASSERT_EQ(1u, handler.m_texts.size());
    EXPECT_EQ(L"Drag and drop ドラッグ", handler.m_texts[0]);
    EXPECT_EQ(1, data.m_releaseCounter.m_releases);

    EXPECT_EQ(S_OK, RevokeDragDrop(window.m_hWnd));
    EXPECT_EQ(1, target->m_refCount);  // OLE gave back every reference it took
    EXPECT_EQ(0u, target->Release());
}
