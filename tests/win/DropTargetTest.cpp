// The OLE drop target, called directly with a scripted data object: reference counting, the effect
// rules and what a drop hands over. The real OLE drag of text is part of the end-to-end test.
#include "DropTarget.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Records every text and path handed over (copied, as a handler must); takes files as told.
class CRecordingHandler : public CDropTarget::CEventHandler
{
public:
    void OnDropText(const wchar_t* text) override { m_texts.push_back(text); }
    bool OnDropFile(const wchar_t* path) override
    {
        m_paths.push_back(path);
        return m_takeFiles;
    }
    std::vector<std::wstring> m_texts;
    std::vector<std::wstring> m_paths;
    bool m_takeFiles = true;
};

// A data object on the test's stack with scripted answers. GetData hands out a fresh copy of
// m_bytes in global memory with a reference to the object for its release, so m_refs is back at 1
// once the medium is released; the object frees the blocks itself.
class CFakeDataObject : public CTextSourceBase
{
public:
    ~CFakeDataObject()
    {
        for (HGLOBAL block : m_blocks)
            GlobalFree(block);
    }

    // `units` UTF-16 units of `text`, which may lack the terminator or hold one inside.
    void SetUnits(const wchar_t* text, size_t units)
    {
        m_bytes.assign(reinterpret_cast<const char*>(text), reinterpret_cast<const char*>(text + units));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject) ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }

    // A file list (DROPFILES, then the paths, each NUL-terminated, and one more NUL), wide or ANSI.
    void SetFiles(const std::wstring& paths, bool wide)
    {
        DROPFILES header = {sizeof(header), {}, FALSE, wide};
        m_bytes.assign(reinterpret_cast<const char*>(&header), reinterpret_cast<const char*>(&header + 1));
        for (wchar_t c : paths + L'\0') {
            const char* unit = reinterpret_cast<const char*>(&c);  // ANSI: the low byte
            m_bytes.insert(m_bytes.end(), unit, unit + (wide ? 2 : 1));
        }
        m_format = CF_HDROP;
    }

    // Only the one format in global memory, asked for exactly.
    STDMETHODIMP QueryGetData(FORMATETC* f) override
    {
        if (f->cfFormat != m_format || f->ptd != nullptr || f->dwAspect != DVASPECT_CONTENT ||
            f->lindex != -1 || f->tymed != TYMED_HGLOBAL)
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
        medium->pUnkForRelease = this;
        AddRef();
        return S_OK;
    }

    CLIPFORMAT m_format = CF_UNICODETEXT;
    HRESULT m_queryResult = S_OK;
    HRESULT m_getDataResult = S_OK;
    bool m_discarded = false;
    std::vector<char> m_bytes;
    std::vector<HGLOBAL> m_blocks;
    LONG m_refs = 1;
};

const POINTL kPoint = {10, 10};

class DropTargetTest : public testing::Test
{
protected:
    DropTargetTest() : m_target(new CDropTarget) { m_target->m_eventHandler = &m_handler; }
    ~DropTargetTest() override { m_target->Release(); }

    CRecordingHandler m_handler;
    CFakeDataObject m_data;
    CDropTarget* m_target;  // the creation reference, released by the fixture
};

}  // namespace

TEST(DropTargetObject, CountsReferencesAnswersForItsTwoInterfacesAndDeletesItselfOnTheLast)
{
    const long before = LiveAllocations();
    CDropTarget* target = new CDropTarget;
    EXPECT_EQ(nullptr, target->m_eventHandler);

    // Only the two interfaces answer, each with a reference.
    for (const IID* iid : {&IID_IUnknown, &IID_IDropTarget, &IID_IDataObject, &IID_IDropSource}) {
        void* out = &out;
        const bool ours = iid == &IID_IUnknown || iid == &IID_IDropTarget;
        EXPECT_EQ(ours ? S_OK : E_NOINTERFACE, target->QueryInterface(*iid, &out));
        EXPECT_EQ(ours ? target : nullptr, out);
    }
    EXPECT_EQ(3, target->m_refCount);  // created with one reference
    EXPECT_EQ(2u, target->Release());
    EXPECT_EQ(1u, target->Release());
    EXPECT_EQ(before + 1, LiveAllocations());
    EXPECT_EQ(0u, target->Release());
    EXPECT_EQ(before, LiveAllocations());
}

// Each block's text reaches the handler once, ending at the first terminator inside the block or at
// the block's end: a source that omits the terminator must not make the target read past the block.
// Without a handler the drop is still taken; without readable text it is refused. Every medium that
// was handed over is released, whether or not it could be read or delivered. The effect is a copy
// exactly when the source answers S_OK, whatever it allows, asked again on every move.
TEST_F(DropTargetTest, DropHandsTheBlocksTextOverOnceAndReleasesEveryMedium)
{
    const wchar_t kSentence[] = L"Das ist ein Satz. これは文です。";
    const std::vector<std::wstring> nothing;
    const struct
    {
        const char* what;
        const wchar_t* text;
        size_t units;
        HRESULT query, getData;
        bool discarded, handler;
        DWORD effect;
        std::vector<std::wstring> handed;
    } cases[] = {
        {"a terminated text", kSentence, wcslen(kSentence) + 1, S_OK, S_OK, false, true, DROPEFFECT_COPY, {kSentence}},
        {"an empty text", L"", 1, S_OK, S_OK, false, true, DROPEFFECT_COPY, {L""}},
        {"no terminator", L"abc", 3, S_OK, S_OK, false, true, DROPEFFECT_COPY, {L"abc"}},
        {"a terminator inside ends the text", L"ab\0cd", 5, S_OK, S_OK, false, true, DROPEFFECT_COPY, {L"ab"}},
        {"an empty block is an empty text", L"", 0, S_OK, S_OK, false, true, DROPEFFECT_COPY, {L""}},
        {"no handler", L"text", 5, S_OK, S_OK, false, false, DROPEFFECT_COPY, nothing},
        {"no Unicode text", L"text", 5, S_FALSE, S_OK, false, true, DROPEFFECT_NONE, nothing},
        {"GetData fails", L"text", 5, S_OK, E_OUTOFMEMORY, false, true, DROPEFFECT_NONE, nothing},
        {"a block that cannot be locked", L"text", 5, S_OK, S_OK, true, true, DROPEFFECT_NONE, nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_handler.m_texts.clear();
        m_data.SetUnits(c.text, c.units);
        m_data.m_getDataResult = c.getData;
        m_data.m_discarded = c.discarded;
        m_target->m_eventHandler = c.handler ? &m_handler : nullptr;
        // A drag that enters while the source gives the other answer, moves and drops; the source
        // allows only a move or a link.
        m_data.m_queryResult = c.query == S_OK ? S_FALSE : S_OK;
        DWORD effect = DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, m_target->DragEnter(&m_data, MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(DWORD(c.query == S_OK ? DROPEFFECT_NONE : DROPEFFECT_COPY), effect);
        m_data.m_queryResult = c.query;
        effect = DROPEFFECT_LINK;
        EXPECT_EQ(S_OK, m_target->DragOver(MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(DWORD(c.query == S_OK ? DROPEFFECT_COPY : DROPEFFECT_NONE), effect);
        effect = DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, m_target->Drop(&m_data, MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(c.effect, effect);
        EXPECT_EQ(nullptr, m_target->m_dataObject);
        EXPECT_EQ(m_handler.m_texts, c.handed);
        EXPECT_EQ(1, m_data.m_refs);  // the data object is borrowed, never counted
    }
    // A drag that leaves forgets the data object.
    DWORD effect = DROPEFFECT_COPY;
    m_target->DragEnter(&m_data, MK_LBUTTON, kPoint, &effect);
    EXPECT_EQ(S_OK, m_target->DragLeave());
    EXPECT_EQ(nullptr, m_target->m_dataObject);
}

// A file list from Explorer: the drag shows a copy, the first path goes to the handler, and the drop
// is taken exactly when the handler takes the file. A list whose first path lies outside its block
// is refused without a read past it.
TEST_F(DropTargetTest, FileListsHandTheFirstPathOverAndTheHandlerDecides)
{
    const std::wstring two = std::wstring(L"C:\\texts\\first.txt") + L'\0' + L"C:\\second.txt";
    const struct
    {
        const char* what;
        bool wide, take, spoil;
        std::vector<std::wstring> handed;
        DWORD effect;
    } cases[] = {
        {"wide paths, taken", true, true, false, {L"C:\\texts\\first.txt"}, DROPEFFECT_COPY},
        {"ANSI paths, taken", false, true, false, {L"C:\\texts\\first.txt"}, DROPEFFECT_COPY},
        {"refused by the handler", true, false, false, {L"C:\\texts\\first.txt"}, DROPEFFECT_NONE},
        {"paths outside the block", true, true, true, {}, DROPEFFECT_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_handler.m_paths.clear();
        m_handler.m_takeFiles = c.take;
        m_data.SetFiles(two, c.wide);
        if (c.spoil)
            reinterpret_cast<DROPFILES*>(m_data.m_bytes.data())->pFiles = static_cast<DWORD>(m_data.m_bytes.size());
        DWORD effect = DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, m_target->DragEnter(&m_data, MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
        effect = DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, m_target->Drop(&m_data, MK_LBUTTON, kPoint, &effect));
        EXPECT_EQ(c.effect, effect);
        EXPECT_EQ(m_handler.m_paths, c.handed);
        EXPECT_TRUE(m_handler.m_texts.empty());
        EXPECT_EQ(1, m_data.m_refs);
    }
}
