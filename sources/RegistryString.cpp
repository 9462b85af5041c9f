// ReadRegistryString: one key at a time, 64-bit view first, plain view on the retry.
#include "RegistryString.h"

#include <vector>

namespace {

constexpr REGSAM kQuery64 = KEY_QUERY_VALUE | KEY_WOW64_64KEY;  // 0x0101
constexpr REGSAM kQuery = KEY_QUERY_VALUE;                       // 0x0001

CString ReadValue(HKEY key, const wchar_t* name, const RegistryApi& api) {
    DWORD size = 0;
    if (api.queryValue(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
    std::vector<BYTE> data(size);
    if (api.queryValue(key, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) return {};
    // Whatever its type, the data is taken as UTF-16 text, up to a NUL or its end.
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t units = std::min<size_t>(size, data.size()) / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length] != L'\0') ++length;
    return CString(text, length);
}

}  // namespace

CString ReadRegistryString(HKEY root, const wchar_t* const names[], int count, const RegistryApi& api) {
    HKEY key = root;
    for (int i = 0; i + 1 < count; ++i) {
        HKEY child = nullptr;
        LSTATUS status = api.openKey(key, names[i], 0, kQuery64, &child);
        if (status != ERROR_SUCCESS) status = api.openKey(key, names[i], 0, kQuery, &child);
        if (key != root) api.closeKey(key);
        if (status != ERROR_SUCCESS) return {};
        key = child;
    }
    CString value;
    try {
        value = ReadValue(key, names[count - 1], api);
    } catch (...) {
        if (key != root) api.closeKey(key);
        throw;
    }
    if (key != root) api.closeKey(key);
    return value;
}
