#include "Tonguemeter.h"

#include "LanguageTable.h"
#include "ProfileCatalogue.h"
#include "Strings.h"

#include "ResourceBlob.h"

bool FindResourceBlob(HINSTANCE module, const wchar_t* name, const wchar_t* type, const void** bytes,
                      DWORD* size)
{
    *bytes = nullptr;
    *size = 0;
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD length = SizeofResource(module, found);
    if (loaded == nullptr || length == 0)
        return false;
    const void* address = LockResource(loaded);
    if (address == nullptr)
        return false;
    *bytes = address;
    *size = length;
    return true;
}

// Loads the profile of every catalogue row from the "LANGDATA" resources of m_hInstance, in table
// order. A row that fails is left out and the load goes on; any failure ends in one warning box.
bool CTonguemeter::LoadLanguages()
{
    // No messages are processed during the load: paint the progress text now.
    SetWindowTextW(m_hResult, TM_TEXT_INITIALISING);
    UpdateWindow(m_hResult);

    bool failed = false;
    for (const LanguageRow& row : LanguageTable) {
        const void* blob;
        DWORD size;
        // A rejected blob, a profile beyond the cap or one that runs out of memory leaves nothing
        // behind. The module's resources stay mapped while the identifier reads them.
        if (!FindResourceBlob(m_hInstance, AsWide(row.resourceName), L"LANGDATA", &blob, &size) ||
            LoadCatalogueProfile(m_identifier, row, blob, size) != ProfileError::None)
            failed = true;
    }
    // All profiles are in: use the index laid out at build time when it was made for exactly these
    // profiles, else index their n-grams now, so that the first identification does not pay.
    const void* index;
    DWORD indexSize;
    if (!FindResourceBlob(m_hInstance, L"NGRAM_INDEX", L"LANGINDEX", &index, &indexSize) ||
        !m_identifier.AttachIndex(index, indexSize))
        m_identifier.BuildIndex();

    if (failed) {
        MessageBoxW(m_hWnd, TM_TEXT_LOAD_WARNING, nullptr, MB_OK | MB_ICONWARNING);
        SetWindowTextW(m_hResult, TM_TEXT_INIT_ERROR);
    } else {
        SetWindowTextW(m_hResult, TM_TEXT_READY);
    }
    return true;
}
