#include "Tonguemeter.h"

#include "LanguageTable.h"
#include "ProfileCatalogue.h"
#include "Strings.h"

#include "ResourceBlob.h"

// Takes the profiles from the "LANGDATA" resources of m_hInstance, in table order, and builds their
// merged index. A row that fails is left out and the load goes on, and any failure ends in one
// warning box.
bool CTonguemeter::LoadLanguages()
{
    // No messages are processed during the load: paint the progress text now.
    SetWindowTextW(m_hResult, TM_TEXT_INITIALISING);
    UpdateWindow(m_hResult);

    bool failed = false;
    for (const LanguageRow& row : LanguageTable) {
        // A missing or rejected blob, a profile beyond the cap or one that runs out of memory
        // leaves nothing behind.
        const void* blob;
        DWORD size;
        if (!FindResourceBlob(m_hInstance, AsWide(row.resourceName), L"LANGDATA", &blob, &size) ||
            LoadCatalogueProfile(m_identifier, row, blob, size) != ProfileError::None)
            failed = true;
    }
    // All profiles are in: index their n-grams now, so that the first identification does not pay.
    m_identifier.BuildIndex();

    if (failed) {
        MessageBoxW(m_hWnd, TM_TEXT_LOAD_WARNING, nullptr, MB_OK | MB_ICONWARNING);
        SetWindowTextW(m_hResult, TM_TEXT_INIT_ERROR);
    } else {
        SetWindowTextW(m_hResult, TM_TEXT_READY);
    }
    return true;
}
