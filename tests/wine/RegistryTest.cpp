// The registry accessor against the real registry of the test prefix. Every
// test works in a scratch key of its own suite, removed before and after it;
// what the accessor stored is checked with the raw API, not with itself.

#include <windows.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"
#include "toolkit/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vgwl {
namespace {

using test::DeleteKeyTree;
using Bytes = std::vector<BYTE>;

using test::RawValue;

bool RawKeyExists(HKEY root, const std::string& path) {
    UniqueHkey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

// The W call stores the bytes exactly as given, odd sizes included.
void WriteRaw(HKEY root, const std::string& path, const std::wstring& name, DWORD type,
              const Bytes& bytes) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void WriteRawA(HKEY root, const std::string& path, const std::string& name, DWORD type,
               const Bytes& bytes) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A text as REG_SZ holds it: its bytes and the terminating NUL.
Bytes SzBytes(std::string_view text) {
    Bytes bytes = TextBytes(text);
    bytes.push_back(0);
    return bytes;
}

Bytes WideBytes(std::wstring_view text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.data());
    return Bytes(p, p + text.size() * sizeof(wchar_t));
}

// The message of the RegistryError the call throws, or a marker that fails
// any comparison with a real message.
template <typename Call>
std::string RegistryErrorOf(Call&& call) {
    try {
        call();
    } catch (const RegistryError& e) {
        return e.what();
    }
    return "<no RegistryError>";
}

class RegistryScratch : public ::testing::Test {
protected:
    explicit RegistryScratch(HKEY root = HKEY_CURRENT_USER) : root_(root) {}

    void SetUp() override {
        path_ = std::string(kParent) + "\\" +
                ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        ASSERT_TRUE(DeleteKeyTree(root_, path_));  // left over by a crashed run
    }

    void TearDown() override {
        EXPECT_TRUE(DeleteKeyTree(root_, path_));
        // The parents go only when empty: other suites may be using them.
        (void)RegDeleteKeyA(root_, kParent);
        (void)RegDeleteKeyA(root_, "Software\\VgwlTest");
    }

    // Opens the scratch key, creating it, with the given rights.
    TRegistry Open(REGSAM access = KEY_ALL_ACCESS) {
        TRegistry reg(access);
        reg.SetRootKey(root_);
        EXPECT_TRUE(reg.OpenKey(path_, true));
        return reg;
    }

    std::optional<RawValue> Raw(const std::string& name) const {
        return test::ReadRawValue(root_, path_, name);
    }

    static constexpr const char* kParent = "Software\\VgwlTest\\Registry";
    HKEY root_;
    std::string path_;
};

class RegistryValues : public RegistryScratch {};
class RegistryErrors : public RegistryScratch {};
class RegistryOpen : public RegistryScratch {};
class RegistryAccess : public RegistryScratch {};
class RegistryStrings : public RegistryScratch {};
class RegistryLocalMachine : public RegistryScratch {
protected:
    RegistryLocalMachine() : RegistryScratch(HKEY_LOCAL_MACHINE) {}
};

// ---- booleans and integers -------------------------------------------------

TEST_F(RegistryValues, BoolIsStoredAsDwordOneOrZero) {
    TRegistry reg = Open();
    reg.WriteBool("VGWPBStatus", true);
    auto raw = Raw("VGWPBStatus");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw->bytes, (Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(reg.ReadBool("VGWPBStatus"));

    reg.WriteBool("VGWPBStatus", false);
    raw = Raw("VGWPBStatus");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw->bytes, (Bytes{0, 0, 0, 0}));
    EXPECT_FALSE(reg.ReadBool("VGWPBStatus"));
}

TEST_F(RegistryValues, AnyNonZeroDwordReadsTrue) {
    TRegistry reg = Open();
    for (const Bytes& stored :
         {Bytes{2, 0, 0, 0}, Bytes{0, 0, 0, 0x80}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}}) {
        WriteRawA(root_, path_, "AnimTrayIcon", REG_DWORD, stored);
        EXPECT_TRUE(reg.ReadBool("AnimTrayIcon")) << int(stored[0]) << "," << int(stored[3]);
    }
}

TEST_F(RegistryValues, IntegerIsStoredAsLittleEndianDwordAndReadSigned) {
    TRegistry reg = Open();
    const struct {
        std::int32_t value;
        Bytes bytes;
    } cases[] = {
        {0, {0, 0, 0, 0}},
        {4, {4, 0, 0, 0}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {INT32_MIN, {0, 0, 0, 0x80}},
        {INT32_MAX, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        reg.WriteInteger("SoundIndex", c.value);
        const auto raw = Raw("SoundIndex");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD)) << c.value;
        EXPECT_EQ(raw->bytes, c.bytes) << c.value;
        EXPECT_EQ(reg.ReadInteger("SoundIndex"), c.value);
    }
}

TEST_F(RegistryValues, StoredUnsignedDwordReadsAsSigned) {
    TRegistry reg = Open();
    test::WriteDword(root_, path_, "EPWC", 4294967295u);
    EXPECT_EQ(reg.ReadInteger("EPWC"), -1);
    test::WriteDword(root_, path_, "EPWC", 0x80000000u);
    EXPECT_EQ(reg.ReadInteger("EPWC"), INT32_MIN);
    test::WriteDword(root_, path_, "EPWC", 1234567u);
    EXPECT_EQ(reg.ReadInteger("EPWC"), 1234567);
}

TEST_F(RegistryValues, WriteReplacesValueOfAnotherType) {
    WriteRawA(root_, path_, "SoundNotification", REG_SZ, TextBytes("yes"));
    TRegistry reg = Open();
    reg.WriteBool("SoundNotification", true);
    const auto raw = Raw("SoundNotification");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw->bytes, (Bytes{1, 0, 0, 0}));
}

TEST_F(RegistryValues, ValueExistsAndDeleteValue) {
    TRegistry reg = Open();
    EXPECT_FALSE(reg.ValueExists("VelmoraGWLite"));
    EXPECT_FALSE(reg.DeleteValue("VelmoraGWLite"));

    WriteRawA(root_, path_, "VelmoraGWLite", REG_BINARY, Bytes{1, 2, 3});
    EXPECT_TRUE(reg.ValueExists("VelmoraGWLite"));  // of any type
    WriteRawA(root_, path_, "Other", REG_DWORD, Bytes{7, 0, 0, 0});

    EXPECT_TRUE(reg.DeleteValue("VelmoraGWLite"));
    EXPECT_FALSE(Raw("VelmoraGWLite"));
    EXPECT_FALSE(reg.ValueExists("VelmoraGWLite"));
    EXPECT_FALSE(reg.DeleteValue("VelmoraGWLite"));
    EXPECT_TRUE(Raw("Other"));  // only the named value goes
}

// ---- errors -------------------------------------------------------------------

TEST_F(RegistryErrors, TextReadAsIntegerThrowsInvalidType) {
    WriteRawA(root_, path_, "SoundIndex", REG_SZ, TextBytes("2"));
    TRegistry reg = Open();
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadInteger("SoundIndex"); }),
              "Invalid data type for 'SoundIndex'");
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadBool("SoundIndex"); }),
              "Invalid data type for 'SoundIndex'");
}

TEST_F(RegistryErrors, NonDwordDataThrowsInvalidTypeForIntegers) {
    const struct {
        const char* what;
        DWORD type;
        Bytes bytes;
    } cases[] = {
        {"binary of four bytes", REG_BINARY, {1, 0, 0, 0}},
        {"dword of two bytes", REG_DWORD, {1, 0}},
        {"dword of no bytes", REG_DWORD, {}},
        {"dword of eight bytes", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
        {"long text", REG_SZ, TextBytes("a text longer than four bytes")},
    };
    TRegistry reg = Open();
    for (const auto& c : cases) {
        WriteRaw(root_, path_, L"AnimTrayIcon", c.type, c.bytes);
        EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadInteger("AnimTrayIcon"); }),
                  "Invalid data type for 'AnimTrayIcon'")
            << c.what;
        EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadBool("AnimTrayIcon"); }),
                  "Invalid data type for 'AnimTrayIcon'")
            << c.what;
    }
}

TEST_F(RegistryErrors, NonTextDataThrowsInvalidTypeForStrings) {
    TRegistry reg = Open();
    const struct {
        DWORD type;
        Bytes bytes;
    } cases[] = {
        {REG_DWORD, {1, 0, 0, 0}},
        {REG_BINARY, TextBytes("abc")},
        {REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b\0\0", 5))},
    };
    for (const auto& c : cases) {
        WriteRaw(root_, path_, L"VelmoraGWLite", c.type, c.bytes);
        EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadString("VelmoraGWLite"); }),
                  "Invalid data type for 'VelmoraGWLite'")
            << c.type;
    }
}

TEST_F(RegistryErrors, MissingValueThrowsFailedToGet) {
    TRegistry reg = Open();
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadInteger("EPWC"); }),
              "Failed to get data for 'EPWC'");
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadBool("EPWC"); }),
              "Failed to get data for 'EPWC'");
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadString("EPWC"); }),
              "Failed to get data for 'EPWC'");
}

TEST_F(RegistryErrors, EveryUseWithoutOpenKeyThrows) {
    auto expectAllThrow = [](TRegistry& reg, const char* when) {
        EXPECT_FALSE(reg.HasCurrentKey()) << when;
        EXPECT_NE(RegistryErrorOf([&] { (void)reg.ReadBool("A"); }), "<no RegistryError>") << when;
        EXPECT_NE(RegistryErrorOf([&] { (void)reg.ReadInteger("A"); }), "<no RegistryError>")
            << when;
        EXPECT_NE(RegistryErrorOf([&] { (void)reg.ReadString("A"); }), "<no RegistryError>")
            << when;
        EXPECT_NE(RegistryErrorOf([&] { reg.WriteBool("A", true); }), "<no RegistryError>") << when;
        EXPECT_NE(RegistryErrorOf([&] { reg.WriteInteger("A", 1); }), "<no RegistryError>") << when;
        EXPECT_NE(RegistryErrorOf([&] { reg.WriteString("A", "x"); }), "<no RegistryError>")
            << when;
        EXPECT_NE(RegistryErrorOf([&] { (void)reg.ValueExists("A"); }), "<no RegistryError>")
            << when;
        EXPECT_NE(RegistryErrorOf([&] { (void)reg.DeleteValue("A"); }), "<no RegistryError>")
            << when;
    };
    TRegistry fresh;
    expectAllThrow(fresh, "never opened");

    TRegistry closed = Open();
    closed.CloseKey();
    expectAllThrow(closed, "closed");

    // A failed open must not leave the earlier key in place, or the writes
    // meant for the missing key would land in the wrong one.
    TRegistry reopened = Open();
    ASSERT_FALSE(reopened.OpenKey(path_ + "\\Missing", false));
    expectAllThrow(reopened, "after a failed open");
    EXPECT_FALSE(Raw("A"));
}

TEST_F(RegistryErrors, NulInsideNameOrTextIsRefused) {
    TRegistry reg = Open();
    EXPECT_NE(RegistryErrorOf([&] { reg.WriteInteger(std::string_view("A\0B", 3), 1); }),
              "<no RegistryError>");
    EXPECT_FALSE(Raw("A"));
    EXPECT_EQ(RegistryErrorOf([&] { reg.WriteString("S", std::string_view("a\0b", 3)); }),
              "Failed to set data for 'S'");
    EXPECT_FALSE(Raw("S"));
}

// ---- opening keys -------------------------------------------------------------

TEST_F(RegistryOpen, DefaultsAreCurrentUserWithAllAccess) {
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_EQ(TRegistry(KEY_WRITE).Access(), static_cast<REGSAM>(0x20006));
}

TEST_F(RegistryOpen, WithoutCreateMissingKeyFailsAndNothingIsCreated) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(path_, false));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_));
}

TEST_F(RegistryOpen, WithCreateMakesEveryMissingLevel) {
    const std::string deep = path_ + "\\Version3\\Settings";
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(deep, true));
    EXPECT_TRUE(reg.HasCurrentKey());
    reg.WriteInteger("SoundIndex", 3);
    EXPECT_EQ(test::ReadDword(HKEY_CURRENT_USER, deep, "SoundIndex"), 3u);

    // Opening an existing key with create neither fails nor empties it.
    TRegistry again;
    ASSERT_TRUE(again.OpenKey(deep, true));
    EXPECT_EQ(again.ReadInteger("SoundIndex"), 3);
}

TEST_F(RegistryOpen, EmptyPathIsRefusedRatherThanOpeningTheRoot) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("", true));
    EXPECT_FALSE(reg.OpenKey("\\", true));
    EXPECT_FALSE(reg.HasCurrentKey());
}

TEST_F(RegistryOpen, LeadingBackslashNamesTheSameKeyFromTheRoot) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\" + path_, true));
    reg.WriteString("VelmoraGWLite", "C:\\VGWL\\VelmoraGWLite.exe");
    const auto raw = Raw("VelmoraGWLite");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, SzBytes("C:\\VGWL\\VelmoraGWLite.exe"));

    TRegistry without;
    ASSERT_TRUE(without.OpenKey(path_, false));
    EXPECT_EQ(without.ReadString("VelmoraGWLite"), "C:\\VGWL\\VelmoraGWLite.exe");
}

TEST_F(RegistryOpen, PathsAreNeverTakenRelativeToTheOpenKey) {
    const std::string sibling = path_ + "\\Sibling";
    TRegistry reg = Open();
    ASSERT_TRUE(reg.OpenKey(sibling, true));
    reg.WriteBool("Here", true);
    EXPECT_EQ(test::ReadDword(HKEY_CURRENT_USER, sibling, "Here"), 1u);
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_ + "\\" + sibling));
}

TEST_F(RegistryOpen, KeyExistsNeitherCreatesNorDisturbsTheOpenKey) {
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists(path_));
    EXPECT_FALSE(reg.KeyExists("\\" + path_));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_));

    ASSERT_TRUE(reg.OpenKey(path_, true));
    EXPECT_TRUE(reg.KeyExists(path_));
    EXPECT_TRUE(reg.KeyExists("\\" + path_));
    EXPECT_FALSE(reg.KeyExists(path_ + "\\Child"));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_ + "\\Child"));
    reg.WriteInteger("StillHere", 9);
    EXPECT_EQ(test::ReadDword(HKEY_CURRENT_USER, path_, "StillHere"), 9u);
}

TEST_F(RegistryOpen, SetRootKeyClosesTheKeyOfTheOldRoot) {
    TRegistry reg = Open();
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.RootKey(), HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_NE(RegistryErrorOf([&] { reg.WriteBool("A", true); }), "<no RegistryError>");
    EXPECT_FALSE(Raw("A"));
}

TEST_F(RegistryOpen, RefusingHookFailsTheOpenAndCreatesNothing) {
    struct Call {
        HKEY root;
        std::string path;
        bool canCreate;
    };
    std::vector<Call> calls;
    TRegistry reg(KEY_ALL_ACCESS, [&](HKEY root, std::string_view path, bool canCreate) {
        calls.push_back({root, std::string(path), canCreate});
        return false;
    });
    EXPECT_FALSE(reg.OpenKey("\\" + path_, true));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].root, HKEY_CURRENT_USER);
    EXPECT_EQ(calls[0].path, path_);  // as opened, without the backslash
    EXPECT_TRUE(calls[0].canCreate);

    // An existing key is refused as well, and the probe ignores the hook.
    ASSERT_TRUE(Open().HasCurrentKey());
    EXPECT_FALSE(reg.OpenKey(path_, false));
    EXPECT_FALSE(calls.back().canCreate);
    EXPECT_TRUE(reg.KeyExists(path_));
}

TEST_F(RegistryOpen, HookFromSetterRefusesOnlyWhatItSaysAndCanBeRemoved) {
    const std::string refused = path_ + "\\Refused";
    TRegistry reg;
    reg.SetOpenHook([&](HKEY, std::string_view path, bool) { return path != refused; });
    EXPECT_TRUE(reg.OpenKey(path_ + "\\Allowed", true));
    EXPECT_FALSE(reg.OpenKey(refused, true));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, refused));

    reg.SetOpenHook(nullptr);
    EXPECT_TRUE(reg.OpenKey(refused, true));
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, refused));
}

// ---- access rights ------------------------------------------------------------

TEST_F(RegistryAccess, WriteOnlyKeyCanWriteAndDeleteButNotRead) {
    WriteRawA(root_, path_, "VelmoraGWLite", REG_SZ, TextBytes("C:\\Old\\VelmoraGWLite.exe"));
    TRegistry reg(KEY_WRITE);
    ASSERT_TRUE(reg.OpenKey(path_, false));

    reg.WriteString("VelmoraGWLite", "C:\\New\\VelmoraGWLite.exe");
    auto raw = Raw("VelmoraGWLite");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, SzBytes("C:\\New\\VelmoraGWLite.exe"));

    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadString("VelmoraGWLite"); }),
              "Failed to get data for 'VelmoraGWLite'");
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ReadInteger("VelmoraGWLite"); }),
              "Failed to get data for 'VelmoraGWLite'");
    // Refused, not missing: a caller must not take it for an absent value.
    EXPECT_EQ(RegistryErrorOf([&] { (void)reg.ValueExists("VelmoraGWLite"); }),
              "Failed to get data for 'VelmoraGWLite'");

    EXPECT_TRUE(reg.DeleteValue("VelmoraGWLite"));
    EXPECT_FALSE(Raw("VelmoraGWLite"));
}

TEST_F(RegistryAccess, ReadOnlyKeyRefusesWritesAndKeepsTheValue) {
    test::WriteDword(root_, path_, "X", 5);
    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKey(path_, false));
    EXPECT_EQ(reg.ReadInteger("X"), 5);
    EXPECT_EQ(RegistryErrorOf([&] { reg.WriteInteger("X", 6); }), "Failed to set data for 'X'");
    EXPECT_EQ(RegistryErrorOf([&] { reg.WriteBool("X", false); }), "Failed to set data for 'X'");
    EXPECT_EQ(RegistryErrorOf([&] { reg.WriteString("X", "6"); }), "Failed to set data for 'X'");
    EXPECT_FALSE(reg.DeleteValue("X"));
    EXPECT_EQ(test::ReadDword(root_, path_, "X"), 5u);
}

TEST_F(RegistryAccess, SetAccessAppliesToTheNextOpen) {
    TRegistry reg;
    reg.SetAccess(KEY_READ);
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_READ));
    // Created with read rights, the key exists but its handle refuses writes.
    ASSERT_TRUE(reg.OpenKey(path_, true));
    EXPECT_EQ(RegistryErrorOf([&] { reg.WriteInteger("X", 1); }), "Failed to set data for 'X'");
    EXPECT_FALSE(Raw("X"));

    reg.SetAccess(KEY_ALL_ACCESS);
    ASSERT_TRUE(reg.OpenKey(path_, false));
    reg.WriteInteger("X", 1);
    EXPECT_EQ(test::ReadDword(root_, path_, "X"), 1u);
}

// ---- strings ------------------------------------------------------------------

TEST_F(RegistryStrings, StoredAsRegSzWithTerminatingNul) {
    const std::string path = "C:\\Program Files\\Velmora\\VelmoraGWLite.exe";
    TRegistry reg = Open();
    reg.WriteString("VelmoraGWLite", path);
    const auto raw = Raw("VelmoraGWLite");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, SzBytes(path));
    EXPECT_EQ(reg.ReadString("VelmoraGWLite"), path);
}

TEST_F(RegistryStrings, EmptyTextWrittenAndStoredWithoutBytes) {
    TRegistry reg = Open();
    reg.WriteString("Empty", "");
    const auto raw = Raw("Empty");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, Bytes{0});
    EXPECT_EQ(reg.ReadString("Empty"), "");

    WriteRaw(root_, path_, L"NoBytes", REG_SZ, {});
    EXPECT_EQ(reg.ReadString("NoBytes"), "");
}

TEST_F(RegistryStrings, DataWithoutTerminatingNulOrOfOddSize) {
    TRegistry reg = Open();
    WriteRaw(root_, path_, L"Bare", REG_SZ, WideBytes(L"abc"));
    EXPECT_EQ(reg.ReadString("Bare"), "abc");

    WriteRawA(root_, path_, "BareA", REG_SZ, TextBytes("xyz"));
    EXPECT_EQ(reg.ReadString("BareA"), "xyz");

    // Two whole characters and half of a third: the half must not turn into
    // bytes read past the data or a NUL inside the text.
    Bytes odd = WideBytes(L"abc");
    odd.pop_back();
    WriteRaw(root_, path_, L"Odd", REG_SZ, odd);
    const std::string text = reg.ReadString("Odd");
    EXPECT_EQ(text.substr(0, 2), "ab");
    EXPECT_LE(text.size(), 3u);
    EXPECT_EQ(text.find('\0'), std::string::npos);

    WriteRaw(root_, path_, L"OneByte", REG_SZ, Bytes{'a'});
    EXPECT_LE(reg.ReadString("OneByte").size(), 1u);
}

TEST_F(RegistryStrings, TextEndsAtTheFirstNul) {
    WriteRaw(root_, path_, L"Two", REG_SZ, WideBytes(std::wstring(L"abc\0def\0", 8)));
    TRegistry reg = Open();
    EXPECT_EQ(reg.ReadString("Two"), "abc");
}

TEST_F(RegistryStrings, ExpandableTextIsReadUnexpanded) {
    WriteRaw(root_, path_, L"Expand", REG_EXPAND_SZ,
             WideBytes(std::wstring(L"%SystemRoot%\\x.exe\0", 19)));
    TRegistry reg = Open();
    EXPECT_EQ(reg.ReadString("Expand"), "%SystemRoot%\\x.exe");
}

TEST_F(RegistryStrings, LongTextsRoundTrip) {
    TRegistry reg = Open();
    for (const std::size_t length : {std::size_t{10000}, std::size_t{70000}}) {
        std::string text(length, '\0');
        for (std::size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>('A' + i % 26);
        }
        reg.WriteString("Long", text);
        const auto raw = Raw("Long");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->bytes.size(), length + 1);
        EXPECT_EQ(reg.ReadString("Long"), text) << length;
    }
}

// ---- local machine ------------------------------------------------------------

TEST_F(RegistryLocalMachine, ValuesLandUnderTheChosenRootOnly) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists(path_));
    ASSERT_TRUE(reg.OpenKey(path_, true));
    EXPECT_TRUE(reg.KeyExists(path_));
    reg.WriteBool("VGWPBStatus", true);
    reg.WriteInteger("SoundIndex", 2);
    EXPECT_EQ(test::ReadDword(HKEY_LOCAL_MACHINE, path_, "VGWPBStatus"), 1u);
    EXPECT_EQ(test::ReadDword(HKEY_LOCAL_MACHINE, path_, "SoundIndex"), 2u);
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, path_));
    EXPECT_EQ(reg.ReadInteger("SoundIndex"), 2);
}

}  // namespace
}  // namespace vgwl
