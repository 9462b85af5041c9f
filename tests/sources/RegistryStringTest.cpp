// ReadRegistryString against the real (Wine) registry, through counting wrappers that show
// every key opened is closed and which view found it.
#include <set>

#include <gtest/gtest.h>

#include "sources/RegistryString.h"

namespace {

struct Calls {
    std::set<HKEY> open;
    int opens = 0, closes = 0, retries = 0, rootCloses = 0;
};
Calls g_calls;

LSTATUS WINAPI CountingOpen(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) {
    const LSTATUS status = RegOpenKeyExW(parent, name, options, access, key);
    if (access == KEY_QUERY_VALUE) ++g_calls.retries;
    if (status == ERROR_SUCCESS) {
        ++g_calls.opens;
        g_calls.open.insert(*key);
    }
    return status;
}

LSTATUS WINAPI CountingClose(HKEY key) {
    ++g_calls.closes;
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) ++g_calls.rootCloses;
    g_calls.open.erase(key);
    return RegCloseKey(key);
}

RegistryApi CountingApi() {
    RegistryApi api;
    api.openKey = CountingOpen;
    api.closeKey = CountingClose;
    return api;
}

constexpr wchar_t kTestKey[] = L"Software\\MarrowgateTests";

class RegistryStringTest : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        g_calls = Calls{};
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        EXPECT_TRUE(g_calls.open.empty()) << g_calls.open.size() << " keys left open";
        EXPECT_EQ(g_calls.opens, g_calls.closes);
        EXPECT_EQ(g_calls.rootCloses, 0);
    }

    // Sets HKCU\Software\MarrowgateTests\A\B value "v".
    static void SetValue(DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\MarrowgateTests\\A\\B", 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, L"v", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static CString Read(std::initializer_list<const wchar_t*> names, HKEY root = HKEY_CURRENT_USER) {
        std::vector<const wchar_t*> list(names);
        return ReadRegistryString(root, list.data(), static_cast<int>(list.size()), CountingApi());
    }
};

TEST_F(RegistryStringTest, FindsAStringThroughThe64BitView) {
    const wchar_t text[] = L"C:\\GOG Games\\Marrowgate";
    SetValue(REG_SZ, text, sizeof text);
    EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"A", L"B", L"v"}), text);
    EXPECT_EQ(g_calls.retries, 0);
    EXPECT_EQ(g_calls.opens, 4);
}

TEST_F(RegistryStringTest, MissingKeyAtAnyDepthGivesNothing) {
    SetValue(REG_SZ, L"x", 4);
    EXPECT_EQ(Read({L"NoSuchRoot", L"A", L"v"}), L"");
    EXPECT_EQ(g_calls.opens, 0);
    EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"Missing", L"B", L"v"}), L"");
    EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"A", L"Missing", L"v"}), L"");
}

TEST_F(RegistryStringTest, MissingOrEmptyValueGivesNothing) {
    SetValue(REG_SZ, L"", 0);
    EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"A", L"B", L"v"}), L"");
    EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"A", L"B", L"other"}), L"");
}

TEST_F(RegistryStringTest, TakesTheDataAsTextUpToItsFirstNul) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        CString expected;
    };
    const Case cases[] = {
        {"no terminating NUL", REG_SZ, {'a', 0, 'b', 0, 'c', 0}, L"abc"},
        {"NUL inside", REG_SZ, {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}, L"ab"},
        {"REG_DWORD 0x00420041", REG_DWORD, {0x41, 0, 0x42, 0}, L"AB"},
        {"REG_DWORD 0x00000041", REG_DWORD, {0x41, 0, 0, 0}, L"A"},
        {"odd length", REG_BINARY, {'a', 0, 'b'}, L"a"},
        {"REG_EXPAND_SZ not expanded", REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0}, L"%X%"},
    };
    for (const Case& c : cases) {
        SetValue(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(Read({L"Software", L"MarrowgateTests", L"A", L"B", L"v"}), c.expected) << c.what;
    }
}

// A key that a 32-bit installer wrote lives in the 32-bit view only. The program we ship is a
// 32-bit process: its 64-bit attempt misses the key and the retry, redirected to the 32-bit
// view, finds it; the next step tries the 64-bit view again. (Wine redirects a plain open
// only when it starts at the predefined root, not below a handle opened in the 64-bit view,
// so the first step names both levels.) A 64-bit process is never redirected, so the
// 64-bit twin misses the key on both attempts; it finds GOG's key because that path names
// WOW6432Node itself.
TEST_F(RegistryStringTest, A32BitOnlyKeyIsFoundThroughTheRetryBy32BitProcessesOnly) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MarrowgateTests32\\Games", 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr), ERROR_SUCCESS);
    const wchar_t text[] = L"found";
    RegSetValueExW(key, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);

#ifdef _WIN64
    const CString expected = L"";
#else
    const CString expected = L"found";
#endif
    EXPECT_EQ(Read({L"SOFTWARE\\MarrowgateTests32", L"Games", L"v"}, HKEY_LOCAL_MACHINE), expected);
    EXPECT_EQ(g_calls.retries, 1);  // only the first step
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\MarrowgateTests32");
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MarrowgateTests32", KEY_WOW64_32KEY, 0);
}

}  // namespace
