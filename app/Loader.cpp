#include "Tonguemeter.h"

#include "LanguageTable.h"
#include "ProfileCatalogue.h"
#include "Strings.h"

#include "ResourceBlob.h"

// Takes the profiles from the "LANGDATA" resources of m_hInstance, in table order. When every row
// is there and the "LANGINDEX" resource is the index laid out for exactly them at build time, the
// identifier reads it in place and takes only each profile's name and header: no table is made.
// Otherwise each profile is loaded and the index built; a row that fails is left out and the load
// goes on, and any failure ends in one warning box.
bool CTonguemeter::LoadLanguages()
{
    // No messages are processed during the load: paint the progress text now.
    SetWindowTextW(m_hResult, TM_TEXT_INITIALISING);
    UpdateWindow(m_hResult);

    // The module's resources stay mapped while the identifier reads them.
    std::vector<CLangIdentifier::ProfileBlob> blobs;
    for (const LanguageRow& row : LanguageTable) {
        CLangIdentifier::ProfileBlob blob{row.displayName, nullptr, 0};
        DWORD size = 0;
        if (FindResourceBlob(m_hInstance, AsWide(row.resourceName), L"LANGDATA", &blob.blob, &size))
            blob.size = size;
        blobs.push_back(blob);
    }
    const void* index;
    DWORD indexSize;
    if (FindResourceBlob(m_hInstance, L"NGRAM_INDEX", L"LANGINDEX", &index, &indexSize) &&
        m_identifier.AttachProfiles(blobs, index, indexSize)) {
        SetWindowTextW(m_hResult, TM_TEXT_READY);
        return true;
    }

    bool failed = false;
    for (size_t i = 0; i < blobs.size(); ++i) {
        // A rejected blob, a profile beyond the cap or one that runs out of memory leaves nothing
        // behind.
        const CLangIdentifier::ProfileBlob& blob = blobs[i];
        if (blob.blob == nullptr ||
            LoadCatalogueProfile(m_identifier, LanguageTable[i], blob.blob, blob.size) != ProfileError::None)
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
