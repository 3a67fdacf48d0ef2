#pragma once
// The registry accessor of the toolkit: one accessor per block of registry
// work, holding a root, access rights and at most one open key. Reads of
// missing or mistyped values, failed writes and any use without an open key
// raise RegistryError, which the settings code catches per block; opening a
// key reports failure by its result instead.

#include <windows.h>

#include "toolkit/Handles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vgwl {

// Consulted before every OpenKey with the root, the path as it is opened
// (without a leading backslash) and the create flag; returning false makes
// that open fail as if the system had refused it. Lets tests reach the
// "cannot be opened" paths where Wine does not enforce registry security.
using RegistryOpenHook = std::function<bool(HKEY root, std::string_view path, bool canCreate)>;

class TRegistry {
public:
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS) noexcept;
    TRegistry(REGSAM access, RegistryOpenHook openHook) noexcept;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    TRegistry(TRegistry&&) noexcept = default;
    TRegistry& operator=(TRegistry&&) noexcept = default;
    ~TRegistry() = default;

    [[nodiscard]] HKEY RootKey() const noexcept { return root_; }
    // Closes the current key: it belongs to the old root.
    void SetRootKey(HKEY root) noexcept;
    [[nodiscard]] REGSAM Access() const noexcept { return access_; }
    // Applies to the next OpenKey; the current key keeps the rights it was
    // opened with.
    void SetAccess(REGSAM access) noexcept { access_ = access; }
    void SetOpenHook(RegistryOpenHook openHook) noexcept;

    // Opens (or, with canCreate, creates) the key at path below the root; a
    // leading backslash is allowed and changes nothing, since keys are never
    // opened relative to one another. Any key open before is closed first, so
    // after a failed open there is no current key. An empty path is refused
    // rather than handing out the root itself.
    [[nodiscard]] bool OpenKey(std::string_view path, bool canCreate);
    void CloseKey() noexcept;
    [[nodiscard]] bool HasCurrentKey() const noexcept { return static_cast<bool>(key_); }
    [[nodiscard]] HKEY CurrentKey() const noexcept { return key_.get(); }

    // Whether the key exists below the root; never creates it, ignores the
    // open hook and leaves the current key alone. A key that exists but may
    // not be read counts as existing.
    [[nodiscard]] bool KeyExists(std::string_view path) const;
    // Whether the current key holds a value of that name, of any type.
    // Throws RegistryError without an open key or when the key refuses the
    // query (for instance a key opened with KEY_WRITE only).
    [[nodiscard]] bool ValueExists(std::string_view name) const;

    // REG_DWORD 1 or 0; any non-zero DWORD reads true.
    [[nodiscard]] bool ReadBool(std::string_view name) const;
    void WriteBool(std::string_view name, bool value);
    // REG_DWORD of exactly four bytes, read as signed (4294967295 reads -1).
    [[nodiscard]] std::int32_t ReadInteger(std::string_view name) const;
    void WriteInteger(std::string_view name, std::int32_t value);
    // REG_SZ, or REG_EXPAND_SZ returned unexpanded. The text ends at the first
    // NUL or at the end of the data, whichever comes first. Writing a text
    // that holds a NUL throws, since it could not be read back whole.
    [[nodiscard]] std::string ReadString(std::string_view name) const;
    void WriteString(std::string_view name, std::string_view value);
    // False when the value is missing or cannot be deleted.
    [[nodiscard]] bool DeleteValue(std::string_view name);

private:
    HKEY root_ = HKEY_CURRENT_USER;
    REGSAM access_ = KEY_ALL_ACCESS;
    UniqueHkey key_;
    RegistryOpenHook openHook_;
};

}  // namespace vgwl
