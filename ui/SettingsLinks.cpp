// Counter, help and web pages of the main window.
#include "ui/Settings.h"

#include "resources/ProductInfo.h"
#include "toolkit/FilePaths.h"

#include <string>
#include <string_view>

namespace vgwl {

namespace {

constexpr WORD kHelpKey = VK_F1;
constexpr std::string_view kHelpFile = "Help\\velmoralite.chm";

std::string WebPage(std::string_view path) {
    std::string address(product::kWebSite);
    address += path;
    return address;
}

}  // namespace

void TVMGWLPreferences::FormShow() {
    Repaint();
    RegisterDropTarget();
    LoadWhiteListView();
    // Read on every show and at no other time: while the window stays open
    // the counter does not follow further blocked popups.
    Label4->SetText(std::to_string(store_.ReadPopupCount()));
}

void TVMGWLPreferences::FormKeyDown(WORD key) {
    // Any modifiers; the focused control still receives the key.
    if (key == kHelpKey) {
        ContentsandTopics1Click();
    }
}

void TVMGWLPreferences::OpenWithShell(const std::string& target) {
    services_.shellExecute(Handle(), "Open", target.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}

void TVMGWLPreferences::ContentsandTopics1Click() {
    OpenWithShell(ExtractFilePath(services_.programPath) + std::string(kHelpFile));
}

void TVMGWLPreferences::OnlineSupport1Click() { OpenWithShell(WebPage("/support/overview.htm")); }

void TVMGWLPreferences::OnlineFAQs1Click() { OpenWithShell(WebPage("/support/faq.htm")); }

void TVMGWLPreferences::SubmitSupportTicketOnline1Click() {
    OpenWithShell(WebPage("/support/sticket.htm"));
}

void TVMGWLPreferences::UpgradeToSentrel1Click() {
    OpenWithShell(WebPage("/products/overview.htm"));
}

}  // namespace vgwl
