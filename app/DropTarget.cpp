#include "DropTarget.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

namespace {

// The formats the main window accepts: Unicode text in global memory, and the file list that
// Explorer drags. Text wins when a source offers both.
FORMATETC UnicodeTextFormat()
{
    FORMATETC format = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return format;
}

FORMATETC FileListFormat()
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return format;
}

bool Offers(IDataObject* dataObject, FORMATETC format)
{
    // S_FALSE and every failure refuse.
    return dataObject->QueryGetData(&format) == S_OK;
}

// Copy for what the drop will be taken for; what the source allows is not consulted.
DWORD EffectFor(IDataObject* dataObject)
{
    if (dataObject == nullptr)
        return DROPEFFECT_NONE;
    return Offers(dataObject, UnicodeTextFormat()) || Offers(dataObject, FileListFormat()) ? DROPEFFECT_COPY
                                                                                          : DROPEFFECT_NONE;
}

// The first path of a file list (a DROPFILES header, then NUL-terminated paths, wide or ANSI), read
// within the block: a malformed list from a careless source yields nothing rather than a read past
// its end.
std::wstring FirstPath(const void* block, SIZE_T blockBytes)
{
    if (block == nullptr || blockBytes < sizeof(DROPFILES))
        return std::wstring();
    const DROPFILES* header = static_cast<const DROPFILES*>(block);
    if (header->pFiles < sizeof(DROPFILES) || header->pFiles >= blockBytes)
        return std::wstring();
    const char* start = static_cast<const char*>(block) + header->pFiles;
    const size_t bytes = blockBytes - header->pFiles;
    if (header->fWide) {
        const wchar_t* path = reinterpret_cast<const wchar_t*>(start);
        const wchar_t* end = wmemchr(path, L'\0', bytes / sizeof(wchar_t));
        return end ? std::wstring(path, end) : std::wstring();
    }
    const char* end = static_cast<const char*>(std::memchr(start, '\0', bytes));
    const int length = end ? static_cast<int>(end - start) : 0;
    std::wstring path(static_cast<size_t>(length), L'\0');
    if (length > 0 && MultiByteToWideChar(CP_ACP, 0, start, length, &path[0], length) != length)
        return std::wstring();
    return path;
}

// Hands the first file of a dropped list to the handler; true when the handler took it. A list
// without a readable first path is refused.
bool DeliverFirstFile(CDropTarget::CEventHandler* handler, HGLOBAL files)
{
    std::wstring path;
    try {
        path = FirstPath(GlobalLock(files), GlobalSize(files));
    } catch (const std::bad_alloc&) {
        // an exception must not leave a COM method
    }
    GlobalUnlock(files);
    return !path.empty() && handler->OnDropFile(path.c_str());
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
    if (pDataObj == nullptr)
        return S_OK;
    const bool text = Offers(pDataObj, UnicodeTextFormat());
    if (!text && !Offers(pDataObj, FileListFormat()))
        return S_OK;

    FORMATETC format = text ? UnicodeTextFormat() : FileListFormat();
    STGMEDIUM medium = {};
    if (pDataObj->GetData(&format, &medium) != S_OK)
        return S_OK;

    if (text) {
        const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal));
        if (units != nullptr) {
            if (m_eventHandler != nullptr)
                DeliverText(m_eventHandler, units, GlobalSize(medium.hGlobal));
            *pdwEffect = DROPEFFECT_COPY;
        }
        GlobalUnlock(medium.hGlobal);
    } else if (m_eventHandler != nullptr && DeliverFirstFile(m_eventHandler, medium.hGlobal)) {
        *pdwEffect = DROPEFFECT_COPY;
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}
