// The OLE drop target: reference counting, the effect rules and what a drop hands over.
#include "DropTarget.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

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

    STDMETHODIMP QueryInterface(REFIID, void** out) override
    {
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

const POINTL kPoint = {10, 10};

class DropTargetTest : public testing::Test
{
protected:
    DropTargetTest() : m_target(new CDropTarget) { m_target->m_eventHandler = &m_handler; }
    ~DropTargetTest() override { m_target->Release(); }

    DWORD Drop(DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE)
    {
        DWORD effect = allowed;
        EXPECT_EQ(S_OK, m_target->Drop(&m_data, MK_LBUTTON, kPoint, &effect));
        return effect;
    }

    CRecordingHandler m_handler;
    CFakeDataObject m_data;
    CDropTarget* m_target;  // the creation reference, released by the fixture
};

}  // namespace

TEST(DropTargetObject, CountsReferencesAndDeletesItselfOnTheLast)
{
    const long before = LiveAllocations();
    CDropTarget* target = new CDropTarget;
    EXPECT_EQ(1, target->m_refCount);
    EXPECT_EQ(nullptr, target->m_eventHandler);
    EXPECT_EQ(2u, target->AddRef());
    EXPECT_EQ(1u, target->Release());
    EXPECT_EQ(before + 1, LiveAllocations());
    EXPECT_EQ(0u, target->Release());
    EXPECT_EQ(before, LiveAllocations());
}

TEST(DropTargetObject, AnswersForIUnknownAndIDropTargetOnly)
{
    CDropTarget* target = new CDropTarget;
    void* out = nullptr;
    EXPECT_EQ(S_OK, target->QueryInterface(IID_IUnknown, &out));
    EXPECT_EQ(static_cast<void*>(target), out);
    EXPECT_EQ(2, target->m_refCount);
    out = nullptr;
    EXPECT_EQ(S_OK, target->QueryInterface(IID_IDropTarget, &out));
    EXPECT_EQ(static_cast<void*>(target), out);
    EXPECT_EQ(3, target->m_refCount);

    out = target;
    EXPECT_EQ(E_NOINTERFACE, target->QueryInterface(IID_IDataObject, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_NOINTERFACE, target->QueryInterface(IID_IDropSource, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(3, target->m_refCount);

    target->Release();
    target->Release();
    EXPECT_EQ(0u, target->Release());
}

TEST_F(DropTargetTest, DragEffectIsCopyExactlyWhenTheSourceAnswersSOk)
{
    m_data.SetText(L"text");
    // The source allows only moving or linking; the target still asks for a copy.
    DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(S_OK, m_target->DragEnter(&m_data, MK_LBUTTON, kPoint, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    EXPECT_EQ(&m_data, m_target->m_dataObject);
    effect = DROPEFFECT_LINK;
    EXPECT_EQ(S_OK, m_target->DragOver(MK_LBUTTON, kPoint, &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);

    // The answer is asked again on every move.
    for (HRESULT refusal : {S_FALSE, DV_E_FORMATETC, E_FAIL}) {
        m_data.m_queryResult = refusal;
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(S_OK, m_target->DragOver(MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect) << std::hex << refusal;
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(S_OK, m_target->DragEnter(&m_data, MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect) << std::hex << refusal;
    }

    EXPECT_EQ(S_OK, m_target->DragLeave());
    EXPECT_EQ(nullptr, m_target->m_dataObject);
    EXPECT_EQ(1, m_data.m_refs);  // the data object is borrowed, never counted
    EXPECT_TRUE(m_handler.m_texts.empty());
}

TEST_F(DropTargetTest, DropHandsTheTextOverOnce)
{
    m_data.SetText(L"Das ist ein Satz. これは文です。");
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop(DROPEFFECT_MOVE));
    ASSERT_EQ(1u, m_handler.m_texts.size());
    EXPECT_EQ(L"Das ist ein Satz. これは文です。", m_handler.m_texts[0]);
    EXPECT_EQ(1, m_data.m_releaseCounter.m_releases);
    EXPECT_EQ(1, m_data.m_refs);
}

TEST_F(DropTargetTest, DropOfEmptyTextStillReachesTheHandler)
{
    m_data.SetText(L"");
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop());
    ASSERT_EQ(1u, m_handler.m_texts.size());
    EXPECT_EQ(L"", m_handler.m_texts[0]);
}

TEST_F(DropTargetTest, DropWithoutHandlerCopiesToNobody)
{
    m_target->m_eventHandler = nullptr;
    m_data.SetText(L"text");
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop());
    EXPECT_TRUE(m_handler.m_texts.empty());
    EXPECT_EQ(1, m_data.m_releaseCounter.m_releases);
}

TEST_F(DropTargetTest, DropIsRefusedWithoutUnicodeTextOrWhenGetDataFails)
{
    m_data.SetText(L"text");
    m_data.m_queryResult = S_FALSE;
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drop());
    m_data.m_queryResult = S_OK;
    m_data.m_getDataResult = E_OUTOFMEMORY;
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drop());
    EXPECT_TRUE(m_handler.m_texts.empty());
    EXPECT_EQ(0, m_data.m_releaseCounter.m_releases);  // nothing was handed over
}

TEST_F(DropTargetTest, DropOfABlockThatCannotBeLockedIsReleasedUnread)
{
    m_data.SetText(L"text");
    m_data.m_discarded = true;
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drop());
    EXPECT_TRUE(m_handler.m_texts.empty());
    EXPECT_EQ(1, m_data.m_releaseCounter.m_releases);
}

// A source that omits the terminating NUL: the handler gets exactly the block's text, terminated,
// and nothing beyond the block is read.
TEST_F(DropTargetTest, DropOfTextWithoutTerminatorStaysInsideTheBlock)
{
    m_data.SetText(L"abc", false);
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop());
    EXPECT_EQ(6u, GlobalSize(m_data.m_blocks.back()));
    ASSERT_EQ(1u, m_handler.m_texts.size());
    EXPECT_EQ(L"abc", m_handler.m_texts[0]);

    // A terminator inside the block ends the text there, as the format says.
    const wchar_t twoParts[] = L"ab\0cd";
    m_data.m_bytes.assign(reinterpret_cast<const char*>(twoParts),
                          reinterpret_cast<const char*>(twoParts) + 5 * sizeof(wchar_t));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop());
    ASSERT_EQ(2u, m_handler.m_texts.size());
    EXPECT_EQ(L"ab", m_handler.m_texts[1]);

    // An empty block is an empty text.
    m_data.m_bytes.clear();
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), Drop());
    ASSERT_EQ(3u, m_handler.m_texts.size());
    EXPECT_EQ(L"", m_handler.m_texts[2]);
}
