// The component's registration of the browser bridge, as installed in dist\:
// exactly the three native messaging host keys naming the manifest beside it,
// per machine or, where that may not be written, per user; nothing left after
// unregistering; another program's key left alone.

#include "TestSupport.h"

#include "component/Contract.h"
#include "component/olvrex/olvrex.h"
#include "toolkit/Handles.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

namespace contract = vgwl::contract;

const std::vector<std::string> kBrowserFolders = {
    "Software\\Google\\Chrome\\NativeMessagingHosts",
    "Software\\Microsoft\\Edge\\NativeMessagingHosts",
    "Software\\Chromium\\NativeMessagingHosts",
};
// What registration may create or change, compared whole before and after.
const std::vector<std::string> kWatchedTrees = {"Software\\Google", "Software\\Microsoft\\Edge",
                                                "Software\\Chromium"};

std::string HostKey(const std::string& folder) {
    return folder + "\\" + std::string(contract::kNativeHostName);
}

std::string Manifest() { return DistDir() + std::string(contract::kBridgeManifestFileName); }

std::optional<std::string> DefaultValue(HKEY root, const std::string& path) {
    char text[1024] = {};
    DWORD size = sizeof(text);
    if (RegGetValueA(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(text);
}

// Every key below `path`, with its values' names, as one sorted list.
void ListTree(HKEY root, const std::string& path, std::vector<std::string>& out) {
    UniqueHkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return;
    }
    out.push_back(path);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        out.push_back(path + " = " + std::string(name, length));
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        ListTree(root, path + "\\" + std::string(name, length), out);
    }
}

std::vector<std::string> Snapshot() {
    std::vector<std::string> all;
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        all.push_back(root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU");
        for (const std::string& tree : kWatchedTrees) {
            ListTree(root, tree, all);
        }
    }
    return all;
}

// Gives everyone read access only to a key of the machine (created when
// missing), as a user without administrator rights has; or full access again.
bool SetKeyAccess(const std::string& path, bool writable) {
    UniqueHkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, WRITE_DAC | READ_CONTROL,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
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
            for (const std::string& folder : kBrowserFolders) {
                ASSERT_TRUE(DeleteKeyTree(root, HostKey(folder)));
            }
        }
        // Chrome's key exists, as where Chrome is installed; Chromium's does
        // not, so registration has to create it and must remove it again.
        WriteDword(HKEY_LOCAL_MACHINE, "Software\\Google\\Chrome", "Installed", 1);
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Chromium"));
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Chromium"));
        module_.reset(LoadLibraryA((DistDir() + "olvrex.dll").c_str()));
        ASSERT_TRUE(module_);
        register_ = Export("DllRegisterServer");
        unregister_ = Export("DllUnregisterServer");
        ASSERT_NE(register_, nullptr);
        ASSERT_NE(unregister_, nullptr);
        manifestBytes_ = ReadFileBytes(Manifest());
        ASSERT_TRUE(manifestBytes_.has_value()) << Manifest();
        before_ = Snapshot();
    }
    void TearDown() override {
        if (unregister_) {
            unregister_();
        }
        DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Google\\Chrome");
        DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Chromium");
    }

    OlvrexDllRegisterServerFn Export(const char* name) {
        return reinterpret_cast<OlvrexDllRegisterServerFn>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

    void ExpectRegisteredUnder(HKEY root) {
        const HKEY other = root == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        for (const std::string& folder : kBrowserFolders) {
            SCOPED_TRACE(folder);
            const auto named = DefaultValue(root, HostKey(folder));
            ASSERT_TRUE(named.has_value());
            EXPECT_EQ(lstrcmpiA(named->c_str(), Manifest().c_str()), 0) << *named;
            EXPECT_FALSE(DefaultValue(other, HostKey(folder)).has_value());
        }
    }

    UniqueHmodule module_;
    OlvrexDllRegisterServerFn register_ = nullptr;
    OlvrexDllRegisterServerFn unregister_ = nullptr;
    std::optional<std::string> manifestBytes_;
    std::vector<std::string> before_;
};

TEST_F(BridgeRegistration, PerMachineTwiceThenNothingLeft) {
    ASSERT_EQ(register_(), S_OK);
    ExpectRegisteredUnder(HKEY_LOCAL_MACHINE);
    const std::vector<std::string> once = Snapshot();
    ASSERT_EQ(register_(), S_OK);
    EXPECT_EQ(Snapshot(), once) << "registering again changes nothing";
    EXPECT_EQ(ReadFileBytes(Manifest()), manifestBytes_) << "the manifest is never rewritten";

    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_EQ(Snapshot(), before_);
    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_EQ(Snapshot(), before_);
}

TEST_F(BridgeRegistration, PerUserWhereTheMachineMayNotBeWritten) {
    // The browsers' keys of the machine as a user without administrator
    // rights sees them: readable, not writable.
    const std::vector<std::string> locked = {"Software\\Google\\Chrome", "Software\\Microsoft\\Edge",
                                             "Software\\Chromium"};
    for (const std::string& key : locked) {
        ASSERT_TRUE(SetKeyAccess(key, false)) << key;
    }
    before_ = Snapshot();
    const HRESULT registered = register_();
    const std::vector<std::string> during = Snapshot();
    const HRESULT unregistered = unregister_();
    for (const std::string& key : locked) {
        EXPECT_TRUE(SetKeyAccess(key, true)) << key;
    }
    EXPECT_EQ(registered, S_OK);
    EXPECT_EQ(unregistered, S_OK);
    EXPECT_EQ(Snapshot(), before_);
    const auto hkcu = std::find(during.begin(), during.end(), "HKCU");
    for (const std::string& folder : kBrowserFolders) {
        SCOPED_TRACE(folder);
        EXPECT_NE(std::find(hkcu, during.end(), HostKey(folder)), during.end())
            << "registered per user";
        EXPECT_EQ(std::find(during.begin(), hkcu, HostKey(folder)), hkcu)
            << "nothing per machine";
    }
}

TEST_F(BridgeRegistration, AnotherProgramsKeyIsLeftAlone) {
    const std::string edge = HostKey(kBrowserFolders[1]);
    const RawValue other{"", REG_SZ, {'C', ':', '\\', 'x', '.', 'j', 's', 'o', 'n', 0}};
    WriteRawValue(HKEY_CURRENT_USER, edge, other);
    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_EQ(DefaultValue(HKEY_CURRENT_USER, edge), "C:\\x.json");
    DeleteKeyTree(HKEY_CURRENT_USER, edge);
}

TEST_F(BridgeRegistration, ShippedManifestNamesTheBridgeAndTheExtension) {
    const auto manifest = nlohmann::json::parse(*manifestBytes_, nullptr, false);
    ASSERT_TRUE(manifest.is_object()) << *manifestBytes_;
    EXPECT_EQ(manifest.value("name", ""), std::string(contract::kNativeHostName));
    EXPECT_EQ(manifest.value("path", ""), std::string(contract::kBridgeFileName));
    EXPECT_EQ(manifest.value("type", ""), "stdio");
    EXPECT_EQ(manifest["allowed_origins"],
              nlohmann::json::array(
                  {"chrome-extension://" + std::string(contract::kExtensionId) + "/"}));
}

}  // namespace
}  // namespace vgwl::test
