// The OLE drop target: reference counting, the effect rules and what a drop hands over.
#include "DropTarget.h"
#include "DropTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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
