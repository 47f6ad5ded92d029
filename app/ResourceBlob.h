// Reading a binary resource of the module: the one place that finds, loads, sizes and locks.
#pragma once

#include <windows.h>

// The address and size of the resource `name` of `type` in `module`; false, with a null address and
// size 0, when it is missing, cannot be loaded, is empty or cannot be locked. The bytes belong to
// the module and stay valid while it is loaded. Nothing assumes a terminator.
bool FindResourceBlob(HINSTANCE module, const wchar_t* name, const wchar_t* type, const void** bytes,
                      DWORD* size);
