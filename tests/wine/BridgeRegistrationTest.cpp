// The component's registration of the browser bridge, as installed in dist\:
// exactly the four native messaging host keys (Chrome, Edge, Chromium,
// Firefox), each naming the manifest beside it written for its browser, per
// machine or, where that may not be written, per user; nothing left after
// unregistering; another program's key left alone.

#include "TestSupport.h"

#include "component/Contract.h"
#include "component/olvrex/olvrex.h"
#include "toolkit/Handles.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vgwl::test {
namespace {

const std::vector<std::string> kBrowserKeys = {"Software\\Google\\Chrome", "Software\\Microsoft\\Edge",
                                               "Software\\Chromium", "Software\\Mozilla"};

std::string HostKey(const std::string& browser) {
    return browser + "\\NativeMessagingHosts\\" + std::string(contract::kNativeHostName);
}

std::string Manifest(const std::string& browser = {}) {
    return DistDir() + std::string(browser == "Software\\Mozilla"
                                       ? contract::kFirefoxBridgeManifestFileName
                                       : contract::kBridgeManifestFileName);
}

// Every key and value name below `path`, in enumeration order.
void ListTree(HKEY root, const std::string& path, std::vector<std::string>& out) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return;
    }
    out.push_back(path);
    char name[256];
    DWORD length = sizeof(name);
    for (DWORD i = 0; RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS;
         ++i, length = sizeof(name)) {
        out.push_back(path + " = " + std::string(name, length));
    }
    for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
        ListTree(root, path + "\\" + name, out);
    }
}

// The browsers' keys in one root.
std::vector<std::string> Snapshot(HKEY root) {
    std::vector<std::string> all;
    for (const std::string& browser : kBrowserKeys) {
        ListTree(root, browser, all);
    }
    return all;
}

// Everyone may only read a key of the machine (created when missing), as a
// user without administrator rights; or everything again.
bool SetKeyAccess(const std::string& path, bool writable) {
    UniqueHkey key;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, WRITE_DAC, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(
            writable ? "D:P(A;;KA;;;WD)" : "D:P(A;;KR;;;WD)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
        return false;
    }
    const LSTATUS status = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

class BridgeRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const std::string& browser : kBrowserKeys) {
                ASSERT_TRUE(DeleteKeyTree(root, browser));
            }
        }
        // Chrome's key exists, as where Chrome is installed; the others do
        // not, so registration has to create them and must remove them again.
        WriteDword(HKEY_LOCAL_MACHINE, kBrowserKeys[0], "Installed", 1);
        module_.reset(LoadLibraryA((DistDir() + "olvrex.dll").c_str()));
        ASSERT_TRUE(module_);
        const auto get = [&](const char* name) {
            return reinterpret_cast<OlvrexDllRegisterServerFn>(
                reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
        };
        register_ = get("DllRegisterServer");
        unregister_ = get("DllUnregisterServer");
        ASSERT_TRUE(register_ && unregister_);
    }
    void TearDown() override {
        for (const std::string& browser : kBrowserKeys) {
            SetKeyAccess(browser, true);
            DeleteKeyTree(HKEY_LOCAL_MACHINE, browser);
        }
    }

    UniqueHmodule module_;
    OlvrexDllRegisterServerFn register_ = nullptr;
    OlvrexDllRegisterServerFn unregister_ = nullptr;
};

// Per machine, then where the machine's keys may only be read (a user
// without administrator rights) per user: the key of each browser naming the
// manifest, nothing changed in the other root (where another program's key
// stays), nothing new when registering again, and nothing left after
// unregistering (twice).
TEST_F(BridgeRegistration, PerMachineOrPerUserTwiceThenNothingLeft) {
    const auto manifest = ReadFileBytes(Manifest());
    const std::string edge = HostKey(kBrowserKeys[1]);
    WriteRawValue(HKEY_CURRENT_USER, edge, {"", REG_SZ, {'C', ':', '\\', 'x', '.', 'j', 's', 0}});
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const HKEY other = root == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        SCOPED_TRACE(root == HKEY_LOCAL_MACHINE ? "per machine" : "per user");
        if (root == HKEY_CURRENT_USER) {
            ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kBrowserKeys[1]));
        }
        for (const std::string& browser : kBrowserKeys) {
            ASSERT_TRUE(root == HKEY_LOCAL_MACHINE || SetKeyAccess(browser, false)) << browser;
        }
        const std::vector<std::string> inRoot = Snapshot(root), inOther = Snapshot(other);
        ASSERT_EQ(register_(), S_OK);
        for (const std::string& browser : kBrowserKeys) {
            const auto named = ReadRawValue(root, HostKey(browser), "");
            ASSERT_TRUE(named.has_value()) << browser;
            EXPECT_EQ(named->type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(std::string(named->bytes.begin(), named->bytes.end()), Manifest(browser) + '\0');
        }
        EXPECT_EQ(Snapshot(other), inOther);
        const std::vector<std::string> once = Snapshot(root);
        ASSERT_EQ(register_(), S_OK);
        EXPECT_EQ(Snapshot(root), once) << "registering again changes nothing";
        EXPECT_EQ(ReadFileBytes(Manifest()), manifest) << "the manifest is never rewritten";
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(unregister_(), S_OK);
            EXPECT_EQ(Snapshot(root), inRoot);
            EXPECT_EQ(Snapshot(other), inOther);
        }
    }
}

TEST_F(BridgeRegistration, ShippedManifestsNameTheBridgeAndTheExtension) {
    const struct {
        std::string browser;
        const char* allowedKey;
        std::string allowed;
    } cases[] = {
        {"Software\\Chromium", "allowed_origins",
         "chrome-extension://" + std::string(contract::kExtensionId) + "/"},
        {"Software\\Mozilla", "allowed_extensions", std::string(contract::kFirefoxExtensionId)},
    };
    for (const auto& c : cases) {
        const auto manifest =
            nlohmann::json::parse(ReadFileBytes(Manifest(c.browser)).value_or(""), nullptr, false);
        ASSERT_TRUE(manifest.is_object()) << c.browser;
        EXPECT_EQ(manifest.value("name", ""), std::string(contract::kNativeHostName));
        EXPECT_EQ(manifest.value("path", ""), std::string(contract::kBridgeFileName));
        EXPECT_EQ(manifest.value("type", ""), "stdio");
        EXPECT_EQ(manifest[c.allowedKey], nlohmann::json::array({c.allowed})) << c.browser;
        // Nothing beyond: each manifest names its own browser's extension only.
        EXPECT_EQ(manifest.size(), 5u) << c.browser;
    }
}

}  // namespace
}  // namespace vgwl::test
