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
