// Test doubles for drag and drop: a recording handler and a data object with scripted answers.
// They live on the test's stack; the counts only record what the code under test did.
#pragma once

#include "DropTarget.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

// Records every text handed over (copied, as a handler must).
class CRecordingHandler : public CDropTarget::CEventHandler
{
public:
    void OnDropText(const wchar_t* text) override { m_texts.push_back(text); }
    std::vector<std::wstring> m_texts;
};

// Counts the releases of a medium that ReleaseStgMedium reports through pUnkForRelease.
class CReleaseCounter : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ++m_releases;
        return 1;
    }
    int m_releases = 0;
};

// A data object with scripted answers. GetData hands out a fresh copy of m_bytes in global memory;
// the medium's release goes to m_releaseCounter, and the object frees the blocks itself.
class CFakeDataObject : public IDataObject
{
public:
    ~CFakeDataObject()
    {
        for (HGLOBAL block : m_blocks)
            GlobalFree(block);
    }

    void SetText(const wchar_t* text, bool withTerminator = true)
    {
        const size_t units = wcslen(text) + (withTerminator ? 1 : 0);
        m_bytes.assign(reinterpret_cast<const char*>(text),
                       reinterpret_cast<const char*>(text) + units * sizeof(wchar_t));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *out = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }

    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        ++m_queries;
        if (format->cfFormat != CF_UNICODETEXT || format->ptd != nullptr ||
            format->dwAspect != DVASPECT_CONTENT || format->lindex != -1 ||
            format->tymed != TYMED_HGLOBAL)
            return DV_E_FORMATETC;
        return m_queryResult;
    }
    STDMETHODIMP GetData(FORMATETC*, STGMEDIUM* medium) override
    {
        if (m_getDataResult != S_OK)
            return m_getDataResult;
        // The block is first made larger and filled with 'x' beyond the text, then shrunk in
        // place: whatever reads past its end finds more text instead of a lucky NUL.
        const size_t slack = 64 * sizeof(wchar_t);
        HGLOBAL block = GlobalAlloc(m_discarded ? GMEM_MOVEABLE | GMEM_DISCARDABLE : GMEM_FIXED,
                                    m_bytes.size() + slack);
        wchar_t* units = static_cast<wchar_t*>(GlobalLock(block));
        wmemset(units, L'x', (m_bytes.size() + slack) / sizeof(wchar_t));
        if (!m_bytes.empty())
            std::memcpy(units, m_bytes.data(), m_bytes.size());
        GlobalUnlock(block);
        block = GlobalReAlloc(block, m_bytes.size(), 0);
        if (m_discarded)
            block = GlobalDiscard(block);  // a discarded block cannot be locked
        m_blocks.push_back(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = &m_releaseCounter;
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

    HRESULT m_queryResult = S_OK;
    HRESULT m_getDataResult = S_OK;
    bool m_discarded = false;
    std::vector<char> m_bytes;
    std::vector<HGLOBAL> m_blocks;
    CReleaseCounter m_releaseCounter;
    int m_queries = 0;
    LONG m_refs = 1;
};
