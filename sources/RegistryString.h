// Reads one string value at the end of a path of registry keys, through the 64-bit view
// where it can and without naming a view where it cannot.
#pragma once

#include "win/AfxWin.h"

// The registry calls the lookup makes; tests wrap them to see every key opened is closed.
struct RegistryApi {
    LSTATUS(WINAPI* openKey)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExW;
    LSTATUS(WINAPI* queryValue)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = RegQueryValueExW;
    LSTATUS(WINAPI* closeKey)(HKEY) = RegCloseKey;
};

// `names` holds `count` strings: the subkeys from `root` down, then the value's name.
// Returns the value's data as UTF-16 up to its first NUL, or "" when any step fails.
CString ReadRegistryString(HKEY root, const wchar_t* const names[], int count, const RegistryApi& api = RegistryApi{});
