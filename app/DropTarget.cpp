#include "DropTarget.h"

#include <cwchar>
#include <memory>
#include <new>

namespace {

// The one format the main window accepts: Unicode text in global memory.
FORMATETC UnicodeTextFormat()
{
    FORMATETC format = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return format;
}

DWORD EffectFor(IDataObject* dataObject)
{
    if (dataObject == nullptr)
        return DROPEFFECT_NONE;
    FORMATETC format = UnicodeTextFormat();
    // S_FALSE and every failure refuse; what the source allows is not consulted.
    return dataObject->QueryGetData(&format) == S_OK ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

// Hands the locked text to the handler. CF_UNICODETEXT is NUL-terminated by contract, but a source
// may omit the terminator: the read stays inside the block, and text without a NUL inside it is
// copied into a terminated buffer first (if that buffer cannot be had, nothing is handed over:
// an exception must not leave a COM method).
void DeliverText(CDropTarget::CEventHandler* handler, const wchar_t* text, SIZE_T blockBytes)
{
    const size_t units = blockBytes / sizeof(wchar_t);
    if (wmemchr(text, L'\0', units) != nullptr) {
        handler->OnDropText(text);
        return;
    }
    std::unique_ptr<wchar_t[]> copy(new (std::nothrow) wchar_t[units + 1]);
    if (!copy)
        return;
    wmemcpy(copy.get(), text, units);
    copy[units] = L'\0';
    handler->OnDropText(copy.get());
}

}  // namespace

CDropTarget::CDropTarget() : m_refCount(1), m_dataObject(nullptr), m_eventHandler(nullptr) {}

STDMETHODIMP CDropTarget::QueryInterface(REFIID riid, void** ppvObject)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *ppvObject = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDropTarget::AddRef()
{
    return InterlockedIncrement(&m_refCount);
}

STDMETHODIMP_(ULONG) CDropTarget::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        // The object is always exactly a CDropTarget: its destructor is private and nothing derives
        // from it, so the missing virtual destructor does no harm.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
        delete this;  // nothing of the object may be touched after this
#pragma GCC diagnostic pop
    }
    return count;
}

STDMETHODIMP CDropTarget::DragEnter(IDataObject* pDataObj, DWORD, POINTL, DWORD* pdwEffect)
{
    m_dataObject = pDataObj;
    *pdwEffect = EffectFor(m_dataObject);
    return S_OK;
}

STDMETHODIMP CDropTarget::DragOver(DWORD, POINTL, DWORD* pdwEffect)
{
    *pdwEffect = EffectFor(m_dataObject);
    return S_OK;
}

STDMETHODIMP CDropTarget::DragLeave()
{
    m_dataObject = nullptr;
    return S_OK;
}

// The drag ends here, whatever comes of the drop: the data object of DragEnter is not held any more.
STDMETHODIMP CDropTarget::Drop(IDataObject* pDataObj, DWORD, POINTL, DWORD* pdwEffect)
{
    m_dataObject = nullptr;
    *pdwEffect = DROPEFFECT_NONE;
    if (EffectFor(pDataObj) != DROPEFFECT_COPY)
        return S_OK;

    FORMATETC format = UnicodeTextFormat();
    STGMEDIUM medium = {};
    if (pDataObj->GetData(&format, &medium) != S_OK)
        return S_OK;

    const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal));
    if (text != nullptr) {
        if (m_eventHandler != nullptr)
            DeliverText(m_eventHandler, text, GlobalSize(medium.hGlobal));
        *pdwEffect = DROPEFFECT_COPY;
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return S_OK;
}
