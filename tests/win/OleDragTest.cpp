// One real drag and drop through OLE: a source in this thread drags text onto a registered window.
// The edge cases are covered by calling the target directly (DropTargetTest.cpp).
#include "DropTarget.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class CRecordingHandler : public CDropTarget::CEventHandler
{
public:
    void OnDropText(const wchar_t* text) override { m_texts.push_back(text); }
    std::vector<std::wstring> m_texts;
};

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

// Offers one text through OLE's own data object.
class CTextSource : public IDataObject, public IDropSource
{
public:
    explicit CTextSource(const wchar_t* text) : m_text(text) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject))
            *out = static_cast<IDataObject*>(this);
        else if (IsEqualIID(riid, IID_IDropSource))
            *out = static_cast<IDropSource*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IDropSource: the button goes up on the first question, and the drop follows once OLE sees it
    // up. A drag that never ends is cancelled.
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

    // IDataObject: Unicode text only.
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == CF_UNICODETEXT && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                                     : DV_E_FORMATETC;
    }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const size_t bytes = (m_text.size() + 1) * sizeof(wchar_t);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::memcpy(GlobalLock(block), m_text.c_str(), bytes);
        GlobalUnlock(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;  // the receiver frees the block
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** out) override
    {
        *out = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }

    std::wstring m_text;
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

    CTextSource source(L"Drag and drop ドラッグ");
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(static_cast<IDataObject*>(&source),
                                      static_cast<IDropSource*>(&source),
                                      DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    SendButton(MOUSEEVENTF_LEFTUP);  // in case the drag was cancelled with the button down
    PumpMessages();

    EXPECT_EQ(DRAGDROP_S_DROP, result);
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    ASSERT_EQ(1u, handler.m_texts.size());
    EXPECT_EQ(L"Drag and drop ドラッグ", handler.m_texts[0]);

    EXPECT_EQ(S_OK, RevokeDragDrop(window.m_hWnd));
    EXPECT_EQ(1, target->m_refCount);  // OLE gave back every reference it took
    EXPECT_EQ(0u, target->Release());
}
