// The blocking component and the vgwlblock tool, as installed in dist\,
// against a scratch front end window and a scratch white list table made by
// the test.

#include "TestSupport.h"

#include "component/Contract.h"
#include "component/olvrex/olvrex.h"
#include "toolkit/Handles.h"
#include "whitelist/WhiteListTable.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace vgwl::test {
namespace {

namespace contract = vgwl::contract;
using namespace std::chrono_literals;

// Puts a key's values back as they were when the guard was made: the tests
// change the front end's settings, and one of them removes the whole key.
class RegistryKeyGuard {
  public:
    explicit RegistryKeyGuard(std::string path) : path_(std::move(path)) {
        HKEY raw = nullptr;
        keyExisted_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_QUERY_VALUE, &raw) ==
                      ERROR_SUCCESS;
        UniqueHkey key(raw);
        saved_ = keyExisted_ ? ValuesOf(key.get()) : std::vector<Value>{};
    }
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;

    ~RegistryKeyGuard() {
        if (!keyExisted_) {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, path_);
            return;
        }
        HKEY raw = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw,
                            nullptr) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot restore " << path_;
            return;
        }
        UniqueHkey key(raw);
        for (const Value& now : ValuesOf(key.get())) {
            RegDeleteValueA(key.get(), now.name.c_str());
        }
        for (const Value& value : saved_) {
            RegSetValueExA(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        }
    }

  private:
    struct Value {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    static std::vector<Value> ValuesOf(HKEY key) {
        std::vector<Value> values;
        for (DWORD index = 0;; ++index) {
            char name[16384];
            DWORD nameLength = sizeof(name);
            Value value;
            DWORD size = 0;
            if (RegEnumValueA(key, index, name, &nameLength, nullptr, &value.type, nullptr,
                              &size) != ERROR_SUCCESS) {
                break;
            }
            value.name.assign(name, nameLength);
            value.data.resize(size);
            nameLength = sizeof(name);
            if (RegEnumValueA(key, index, name, &nameLength, nullptr, &value.type,
                              value.data.data(), &size) == ERROR_SUCCESS) {
                value.data.resize(size);
                values.push_back(std::move(value));
            }
        }
        return values;
    }

    std::string path_;
    bool keyExisted_ = false;
    std::vector<Value> saved_;
};

void DeleteValue(const std::string& path, const std::string& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
        UniqueHkey key(raw);
        RegDeleteValueA(key.get(), name.c_str());
    }
}

bool KeyExists(const std::string& path) {
    HKEY raw = nullptr;
    const bool exists =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &raw) == ERROR_SUCCESS;
    UniqueHkey key(raw);
    return exists;
}

// What the scratch front end window saw.
struct CopyDataLog {
    int count = 0;
    ULONG_PTR lastTag = 0;
    std::vector<unsigned char> lastData;
    long long longestHandlingMs = 0;
};

// A hidden top-level window with the front end's class name and caption that
// answers WM_COPYDATA after a delay, as the front end does after its sound and
// blink. Its class is registered under a private instance handle (a 64 KB
// reservation of its own), so it never clashes with the real front end's
// class registered under this program's module, and is removed again at the end.
class ScratchFrontEnd {
  public:
    explicit ScratchFrontEnd(DWORD answerDelayMs) : delayMs_(answerDelayMs) {
        reservation_ = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
        instance_ = static_cast<HINSTANCE>(reservation_);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &ScratchFrontEnd::Proc;
        wc.hInstance = instance_;
        wc.lpszClassName = className_.c_str();
        registered_ = RegisterClassExA(&wc) != 0;
        if (registered_) {
            window_.reset(CreateWindowExA(0, className_.c_str(), caption_.c_str(),
                                          WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                          instance_, this));
        }
    }
    ScratchFrontEnd(const ScratchFrontEnd&) = delete;
    ScratchFrontEnd& operator=(const ScratchFrontEnd&) = delete;
    ~ScratchFrontEnd() {
        window_.reset();
        if (registered_) {
            UnregisterClassA(className_.c_str(), instance_);
        }
        if (reservation_) {
            VirtualFree(reservation_, 0, MEM_RELEASE);
        }
    }

    bool Ready() const { return static_cast<bool>(window_); }
    const CopyDataLog& Log() const { return log_; }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lp);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<ScratchFrontEnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && msg == WM_COPYDATA) {
            try {
                self->OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lp));
            } catch (...) {
                ADD_FAILURE() << "exception in the scratch window";
            }
            return 0;  // as the front end: no result of its own
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }

    void OnCopyData(const COPYDATASTRUCT& data) {
        const auto start = std::chrono::steady_clock::now();
        ++log_.count;
        log_.lastTag = data.dwData;
        const auto* bytes = static_cast<const unsigned char*>(data.lpData);
        log_.lastData.assign(bytes, bytes + data.cbData);
        Sleep(delayMs_);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        log_.longestHandlingMs = std::max(log_.longestHandlingMs, took);
    }

    const std::string className_{contract::kMainWindowClass};
    const std::string caption_{contract::kMainWindowCaption};
    DWORD delayMs_;
    void* reservation_ = nullptr;
    HINSTANCE instance_ = nullptr;
    bool registered_ = false;
    UniqueHwnd window_;
    CopyDataLog log_;
};

// The shared table "VMGWLITE", created by the test for as long as it lives.
class ScratchTable {
  public:
    explicit ScratchTable(const std::vector<std::string>& entries)
        : ScratchTable(WhiteListTableSize(entries.size())) {
        if (view_) {
            written_ = WriteWhiteListTable(Bytes(), entries);
        }
    }
    // Raw bytes, for tables that the front end's writer would not produce.
    struct Raw {
        std::vector<unsigned char> bytes;
    };
    explicit ScratchTable(const Raw& raw) : ScratchTable(raw.bytes.size()) {
        const auto& bytes = raw.bytes;
        if (view_) {
            std::memcpy(view_.get(), bytes.data(), bytes.size());
        }
    }

    bool Ready() const { return static_cast<bool>(view_) && !existed_; }
    std::size_t Written() const { return written_; }

  private:
    explicit ScratchTable(std::size_t size) : size_(size) {
        const std::string name(contract::kWhiteListTableName);
        mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), name.c_str()));
        existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
        if (mapping_) {
            view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
        }
    }
    std::span<unsigned char> Bytes() { return {static_cast<unsigned char*>(view_.get()), size_}; }

    std::size_t size_;
    bool existed_ = false;
    std::size_t written_ = 0;
    UniqueKernelHandle mapping_;
    UniqueMappedView view_;
};

ScratchTable::Raw RawTable(std::int32_t count, std::size_t slots,
                           const std::vector<std::string>& texts) {
    std::vector<unsigned char> bytes(WhiteListTableSize(slots), 0);
    const auto raw = static_cast<std::uint32_t>(count);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>((raw >> (8 * i)) & 0xFF);
    }
    for (std::size_t i = 0; i < texts.size() && i < slots; ++i) {
        std::memcpy(bytes.data() + 4 + 64 * i, texts[i].data(),
                    std::min<std::size_t>(63, texts[i].size()));
    }
    return {bytes};
}

std::string Tool() {
    return "\"" + DistDir() + "vgwlblock.exe\"";
}

ProcessResult Block(const std::string& arguments) {
    return RunProcess(Tool() + " " + arguments);
}

std::optional<long long> ReportedAnswerMs(const std::string& output) {
    std::smatch match;
    static const std::regex pattern("answered after ([0-9]+) ms");
    if (!std::regex_search(output, match, pattern)) {
        return std::nullopt;
    }
    return std::stoll(match[1].str());
}

std::vector<unsigned char> WithNul(const std::string& text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// Each test starts with blocking on, EPWC absent, no table and no front end,
// and puts the settings back as they were.
class ComponentBlocking : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string tableName(contract::kWhiteListTableName);
        UniqueKernelHandle stray(OpenFileMappingA(FILE_MAP_READ, FALSE, tableName.c_str()));
        ASSERT_FALSE(stray) << "a table VMGWLITE is held by another process";
        const std::string windowClass(contract::kMainWindowClass);
        const std::string caption(contract::kMainWindowCaption);
        ASSERT_EQ(FindWindowA(windowClass.c_str(), caption.c_str()), nullptr)
            << "a front end window is already open";
        WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 1);
        DeleteValue(kSettings, kPopupCount);
    }

    std::optional<DWORD> PopupCount() const {
        return ReadDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount);
    }

    RegistryKeyGuard guard_{kSettings};
};

TEST_F(ComponentBlocking, BlockedPopupIsCountedAndAnsweredOnce) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 41);
    ScratchTable table({"example.com", "trusted.org"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(300);
    ASSERT_TRUE(frontEnd.Ready());

    // A look-alike of a listed domain is no subdomain of it.
    const std::string address = "http://ads.badexample.com/pop?x=1";
    const ProcessResult run = Block(address);

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("Blocked " + address + ": the front end answered after"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("popups eliminated: 42"), std::string::npos) << run.output;
    EXPECT_EQ(frontEnd.Log().count, 1);
    EXPECT_EQ(frontEnd.Log().lastData, WithNul(address));
    EXPECT_EQ(PopupCount(), 42u);
    const auto answerMs = ReportedAnswerMs(run.output);
    ASSERT_TRUE(answerMs.has_value()) << run.output;
    // The tool waits for the answer: it cannot have taken less than the window held it.
    EXPECT_GE(*answerMs, frontEnd.Log().longestHandlingMs);
}

TEST_F(ComponentBlocking, EachBlockedPopupSendsItsOwnMessage) {
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    EXPECT_EQ(Block("http://one.test/").exitCode, 0u);
    EXPECT_EQ(Block("http://two.test/").exitCode, 0u);

    EXPECT_EQ(frontEnd.Log().count, 2);
    EXPECT_EQ(frontEnd.Log().lastData, WithNul("http://two.test/"));
    EXPECT_EQ(PopupCount(), 2u) << "an absent EPWC counts from 0";
}

TEST_F(ComponentBlocking, CounterStopsAtTheLargestSignedValue) {
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 0x7FFFFFFE);
    EXPECT_EQ(Block("http://pop.test/").exitCode, 0u);
    EXPECT_EQ(PopupCount(), 0x7FFFFFFFu);
    EXPECT_EQ(Block("http://pop.test/").exitCode, 0u);
    EXPECT_EQ(PopupCount(), 0x7FFFFFFFu) << "the front end would show a negative count";
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 0xFFFFFFFF);
    EXPECT_EQ(Block("http://pop.test/").exitCode, 0u);
    EXPECT_EQ(PopupCount(), 0x7FFFFFFFu);
}

TEST_F(ComponentBlocking, WhiteListedParentDomainLetsThePopupThrough) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 5);
    ScratchTable table({"other.net", "Example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    const std::string address = "https://user@WWW.example.com:8443/a?b#c";
    const ProcessResult run = Block(address);

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 4u) << run.output;
    EXPECT_NE(run.output.find(address + " is white-listed (entry Example.com): not blocked"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_EQ(PopupCount(), 5u);
}

TEST_F(ComponentBlocking, BlockingOffLetsEverythingThrough) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kBlockingOn, 0);
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 7);
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    {
        ScratchTable table({"example.com"});
        ASSERT_TRUE(table.Ready());
        const ProcessResult run = Block("http://ads.test/");
        EXPECT_EQ(run.exitCode, 3u) << run.output;
        EXPECT_NE(run.output.find("Blocking is switched off: http://ads.test/ was not blocked"),
                  std::string::npos)
            << run.output;
    }
    // With blocking off the table is not needed at all.
    const ProcessResult noTable = Block("http://ads.test/");
    EXPECT_EQ(noTable.exitCode, 3u) << noTable.output;

    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_EQ(PopupCount(), 7u);
}

TEST_F(ComponentBlocking, MissingSwitchMeansBlockingOn) {
    DeleteValue(kSettings, kBlockingOn);
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    EXPECT_EQ(Block("http://ads.test/").exitCode, 0u);
    EXPECT_EQ(frontEnd.Log().count, 1);
}

TEST_F(ComponentBlocking, MissingTableIsAnEmptyWhiteList) {
    // A fresh install: no white list saved yet, so no table. Popups are
    // blocked and the front end is told, as with an empty list.
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 3);
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    const ProcessResult run = Block("http://ads.test/");

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("Blocked http://ads.test/"), std::string::npos) << run.output;
    EXPECT_EQ(frontEnd.Log().count, 1);
    EXPECT_EQ(PopupCount(), 4u);
}

TEST_F(ComponentBlocking, MissingFrontEndIsReportedButThePopupIsCounted) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 9);
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());

    const ProcessResult run = Block("http://ads.test/");

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 10u) << run.output;
    EXPECT_NE(run.output.find("The front end is not running"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("popups eliminated: 10"), std::string::npos) << run.output;
    EXPECT_EQ(PopupCount(), 10u);
}

TEST_F(ComponentBlocking, MissingSettingsKeyIsReportedAndNotCreated) {
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettings));
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    const ProcessResult run = Block("http://ads.test/");

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 12u) << run.output;
    EXPECT_NE(run.output.find("The settings key"), std::string::npos) << run.output;
    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_FALSE(KeyExists(kSettings)) << "the component must leave the front end's key alone";
}

TEST_F(ComponentBlocking, SwitchOfTheWrongTypeIsReported) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettings.c_str(), 0, KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    UniqueHkey key(raw);
    ASSERT_EQ(RegSetValueExA(key.get(), kBlockingOn.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("1"), 2),
              ERROR_SUCCESS);
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    const ProcessResult run = Block("http://ads.test/");
    EXPECT_EQ(run.exitCode, 12u) << run.output;
    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_FALSE(PopupCount().has_value());
}

TEST_F(ComponentBlocking, SlowFrontEndIsReportedAfterTheTimeout) {
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(2500);
    ASSERT_TRUE(frontEnd.Ready());

    const ProcessResult run = Block("--timeout 1 http://ads.test/");

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 13u) << run.output;
    EXPECT_NE(run.output.find("did not answer within 1000 ms"), std::string::npos) << run.output;
    // The message was delivered once all the same; the popup was blocked.
    EXPECT_TRUE(PumpUntil([&] { return frontEnd.Log().count > 0; }, 10s));
    EXPECT_EQ(frontEnd.Log().count, 1);
    EXPECT_EQ(PopupCount(), 1u);
}

TEST_F(ComponentBlocking, AddressWithoutHostIsRefused) {
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    const ProcessResult run = Block("http://");
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("is not a web address"), std::string::npos) << run.output;
    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_FALSE(PopupCount().has_value());
}

TEST_F(ComponentBlocking, CountBeyondTheTableReadsOnlyTheSlotsThatExist) {
    // A 196-byte table claiming 1000 entries: the reader stays inside the
    // mapping, and the zero slots after the real ones match nothing.
    ScratchTable table(RawTable(1000, 3, {"example.com"}));
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    EXPECT_EQ(Block("http://www.example.com/").exitCode, 4u);
    EXPECT_EQ(Block("http://ads.test/").exitCode, 0u);
    EXPECT_EQ(frontEnd.Log().count, 1);
}

TEST_F(ComponentBlocking, NegativeCountMeansAnEmptyWhiteList) {
    ScratchTable table(RawTable(-1, 3, {"example.com"}));
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    EXPECT_EQ(Block("http://www.example.com/").exitCode, 0u);
    EXPECT_EQ(frontEnd.Log().count, 1);
}

// The exports themselves, loaded by full path as the front end and the tool do.
class ComponentExports : public ComponentBlocking {
  protected:
    void SetUp() override {
        ComponentBlocking::SetUp();
        const std::string path = DistDir() + std::string(contract::kComponentFileName);
        module_.reset(LoadLibraryA(path.c_str()));
        ASSERT_TRUE(module_) << path;
        handlePopup_ = reinterpret_cast<OlvrexHandlePopupFn>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), OLVREX_HANDLE_POPUP_EXPORT)));
        ASSERT_NE(handlePopup_, nullptr);
    }

    UniqueHmodule module_;
    OlvrexHandlePopupFn handlePopup_ = nullptr;
};

TEST_F(ComponentExports, ReportCarriesTheOutcome) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 20);
    ScratchTable table({"a.test", "*.example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(150);
    ASSERT_TRUE(frontEnd.Ready());

    OlvrexPopupReport report{};
    report.structSize = sizeof(report);
    EXPECT_EQ(handlePopup_("news.example.com/x", &report), OLVREX_WHITE_LISTED);
    EXPECT_EQ(report.result, OLVREX_WHITE_LISTED);
    EXPECT_STREQ(report.matchedEntry, "*.example.com");
    EXPECT_EQ(report.popupCount, 20u);

    report = OlvrexPopupReport{};
    report.structSize = sizeof(report);
    EXPECT_EQ(handlePopup_("http://b.test/", &report), OLVREX_BLOCKED);
    EXPECT_EQ(report.popupCount, 21u);
    EXPECT_STREQ(report.matchedEntry, "");
    EXPECT_GE(static_cast<long long>(report.answerMilliseconds), frontEnd.Log().longestHandlingMs);
    EXPECT_EQ(frontEnd.Log().count, 1);
    EXPECT_EQ(PopupCount(), 21u);
}

TEST_F(ComponentExports, BadArgumentsChangeNothing) {
    ScratchTable table({"example.com"});
    ASSERT_TRUE(table.Ready());
    ScratchFrontEnd frontEnd(0);
    ASSERT_TRUE(frontEnd.Ready());

    EXPECT_EQ(handlePopup_("http://ads.test/", nullptr), OLVREX_INVALID_ARGUMENT);
    OlvrexPopupReport small{};
    small.structSize = sizeof(small) - 1;
    EXPECT_EQ(handlePopup_("http://ads.test/", &small), OLVREX_INVALID_ARGUMENT);
    OlvrexPopupReport report{};
    report.structSize = sizeof(report);
    EXPECT_EQ(handlePopup_(nullptr, &report), OLVREX_INVALID_ARGUMENT);

    EXPECT_EQ(frontEnd.Log().count, 0);
    EXPECT_FALSE(PopupCount().has_value());
}

// The bridge's exports: the white list's hosts and the count.
class BridgeExports : public ComponentExports {
protected:
    template <typename Fn>
    Fn Export(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }
};

TEST_F(BridgeExports, HostsAreTheRuleReductionOfTheEntries) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the entry below is written in code page 1252";
    }
    // An internationalised entry in the code page's own form, as typed.
    ScratchTable table({"http://WWW.Example.com:8080/x", "*.example.com", "M\xfcnchen.de",
                        "10.0.0.1", "bad host!", "", "http://", ".Example.com.", "[::1]"});
    ASSERT_TRUE(table.Ready());
    const auto read = Export<OlvrexReadWhiteListHostsFn>(OLVREX_READ_WHITE_LIST_HOSTS_EXPORT);
    std::uint32_t needed = 0;
    ASSERT_EQ(read(nullptr, 0, &needed), OLVREX_BUFFER_TOO_SMALL);
    std::vector<char> buffer(needed, 'x');
    ASSERT_EQ(read(buffer.data(), needed, &needed), OLVREX_OK);
    EXPECT_EQ(buffer.back(), '\0');
    std::vector<std::string> hosts;
    for (std::size_t pos = 0; pos < buffer.size() && buffer[pos] != '\0';) {
        hosts.emplace_back(buffer.data() + pos);
        pos += hosts.back().size() + 1;
    }
    EXPECT_EQ(hosts, (std::vector<std::string>{"www.example.com", "example.com",
                                               "xn--mnchen-3ya.de", "10.0.0.1", "[::1]"}));
}

TEST_F(BridgeExports, CountsFromManyThreadsAreNeitherLostNorDoubled) {
    WriteDword(HKEY_LOCAL_MACHINE, kSettings, kPopupCount, 1000);
    const auto count = Export<OlvrexCountPopupsFn>(OLVREX_COUNT_POPUPS_EXPORT);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                std::uint32_t after = 0;
                if (count(1, &after) != OLVREX_OK) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(PopupCount(), 1200u);
    std::uint32_t after = 0;
    EXPECT_EQ(count(0xFFFFFFF0u, &after), OLVREX_OK);
    EXPECT_EQ(after, 0x7FFFFFFFu) << "the count stops at the largest signed value";
}

TEST(ComponentTool, WrongArgumentsPrintTheUsage) {
    for (const std::string arguments : {"", "a.test b.test", "--timeout", "--timeout 0 a.test",
                                        "--timeout x a.test", "--timeout 5", "\"\""}) {
        SCOPED_TRACE(arguments);
        const ProcessResult run = Block(arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 2u) << run.output;
        EXPECT_NE(run.output.find("usage: vgwlblock"), std::string::npos) << run.output;
    }
}

TEST(ComponentTool, LoadsTheComponentOnlyFromItsOwnFolder) {
    // A copy of the tool in a folder without the component, started from the
    // folder that has it: it must not fall back to the working directory.
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string folder =
        std::string(temp) + "vgwlblock-" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string copy = folder + "vgwlblock.exe";
    ASSERT_TRUE(CopyFileA((DistDir() + "vgwlblock.exe").c_str(), copy.c_str(), FALSE));

    const ProcessResult run = RunProcess("\"" + copy + "\" http://ads.test/", 60s, DistDir());

    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 20u) << run.output;
    EXPECT_NE(run.output.find(folder + "olvrex.dll cannot be loaded"), std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace vgwl::test
