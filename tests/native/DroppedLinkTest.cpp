#include "toolkit/WebLink.h"
#include "whitelist/DroppedLink.h"
#include "whitelist/WhiteListEntry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vgwl {
namespace {

using Lines = std::vector<std::u16string>;

// A code page like Windows-1252: ASCII and Latin-1 letters, nothing else.
std::optional<std::string> Latin1(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        if (c > 0xFF) {
            return std::nullopt;
        }
        out += static_cast<char>(c);
    }
    return out;
}

TEST(Punycode, EncodesTheSamplesOfRfc3492) {
    EXPECT_EQ(PunycodeEncode(U"b\u00fccher"), "bcher-kva");
    EXPECT_EQ(PunycodeEncode(U"m\u00fcnchen"), "mnchen-3ya");
    EXPECT_EQ(PunycodeEncode(U"\u00fc"), "tda");
    EXPECT_EQ(PunycodeEncode(U"\u043f\u0440\u0430\u0432\u0434\u0430"), "80aafi6cg");
    // RFC 3492, 7.1 (L): basic code points keep their case.
    EXPECT_EQ(PunycodeEncode(U"3\u5e74B\u7d44\u91d1\u516b\u5148\u751f"),
              "3B-ww4c5e180e575a65lsy2b");
    // RFC 3492, 7.1 (B), Chinese (simplified).
    EXPECT_EQ(PunycodeEncode(U"\u4ed6\u4eec\u4e3a\u4ec0\u4e48\u4e0d\u8bf4\u4e2d\u6587"),
              "ihqwcrb4cv8a8dqg056pqjye");
    // A label beyond the basic multilingual plane.
    EXPECT_EQ(PunycodeEncode(U"\U0001F600"), "e28h");
}

TEST(WebLink, AcceptsWebLinksOnly) {
    EXPECT_TRUE(IsWebLink(u"http://www.example.com/"));
    EXPECT_TRUE(IsWebLink(u"HTTPS://example.com"));
    EXPECT_TRUE(IsWebLink(u"www.example.com/a?b#c"));
    EXPECT_TRUE(IsWebLink(u"http://b\u00fccher.de/"));
    EXPECT_FALSE(IsWebLink(u""));
    EXPECT_FALSE(IsWebLink(u"http://"));
    EXPECT_FALSE(IsWebLink(u"www."));
    EXPECT_FALSE(IsWebLink(u"http:///path"));
    EXPECT_FALSE(IsWebLink(u"ftp://example.com/"));
    EXPECT_FALSE(IsWebLink(u"file:///C:/x"));
    EXPECT_FALSE(IsWebLink(u"javascript:alert(1)"));
    EXPECT_FALSE(IsWebLink(u"example.com"));
    EXPECT_FALSE(IsWebLink(u"http://a b.com/"));
    EXPECT_FALSE(IsWebLink(u"http://a\u00a0b.com/"));
    EXPECT_FALSE(IsWebLink(std::u16string(u"http://a\0b.com/", 15)));
}

TEST(WebLink, TextIsTakenOnlyWhenEveryLineIsAWebLink) {
    EXPECT_EQ(WebLinkLines(u"http://a.example/\r\n  www.b.example \r\n\r\nhttps://c.example\n"),
              (Lines{u"http://a.example/", u"www.b.example", u"https://c.example"}));
    EXPECT_EQ(WebLinkLines(u"http://a.example/"), (Lines{u"http://a.example/"}));
    EXPECT_TRUE(WebLinkLines(u"http://a.example/\r\nsee this").empty());
    EXPECT_TRUE(WebLinkLines(u"Hello world").empty());
    EXPECT_TRUE(WebLinkLines(u"\r\n \r\n").empty());
}

TEST(DroppedLink, AsciiAndAnsiLinksAreKeptAsDropped) {
    EXPECT_EQ(DroppedLinkEntry(u"http://www.example.com/a?b=c#d", Latin1),
              "http://www.example.com/a?b=c#d");
    EXPECT_EQ(DroppedLinkEntry(u"www.Example.com", Latin1), "www.Example.com");
    // The code page holds it: kept in the code page, not rewritten.
    EXPECT_EQ(DroppedLinkEntry(u"http://www.example.fr/caf\u00e9", Latin1),
              "http://www.example.fr/caf\xe9");
    // A host beyond ASCII is written as browsers ask for it, even when the
    // code page could hold it.
    EXPECT_EQ(DroppedLinkEntry(u"http://b\u00fccher.de/caf\u00e9", Latin1),
              "http://xn--bcher-kva.de/caf%C3%A9");
}

TEST(DroppedLink, NonAnsiLinksBecomeAsciiWithoutQuestionMarks) {
    // Host in its ASCII form, the rest percent-encoded UTF-8.
    EXPECT_EQ(DroppedLinkEntry(u"http://\u043f\u0440\u0430\u0432\u0434\u0430.ru/\u0432", Latin1),
              "http://xn--80aafi6cg.ru/%D0%B2");
    // Labels in lower case before encoding; ASCII labels as they are.
    EXPECT_EQ(DroppedLinkEntry(u"https://\u041f\u0440\u0430\u0432\u0434\u0430.Example.ru", Latin1),
              "https://xn--80aafi6cg.example.ru");
    // One character outside the code page puts the whole link in ASCII, the
    // code page's own letters too.
    EXPECT_EQ(DroppedLinkEntry(u"http://b\u00fccher.de/\u20ac", Latin1),
              "http://xn--bcher-kva.de/%E2%82%AC");
    // Ideographic full stops separate labels; user, port and query survive.
    EXPECT_EQ(DroppedLinkEntry(u"http://u@\u4f8b\u3002jp:8080/?q=\U0001F600", Latin1),
              "http://u@xn--fsq.jp:8080/?q=%F0%9F%98%80");
    // Without any code page at all, every link is written in ASCII.
    EXPECT_EQ(DroppedLinkEntry(u"www.b\u00fccher.de", AnsiEncoder()), "www.xn--bcher-kva.de");
    const auto entry = DroppedLinkEntry(u"http://\u4f8b.jp/\u4f8b", Latin1);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->find('?'), std::string::npos);
}

TEST(DroppedLink, LongLinksKeepWhatTheComponentMatches) {
    const std::u16string path(80, u'p');
    EXPECT_EQ(DroppedLinkEntry(u"https://user@www.example.com:8080/" + path, Latin1),
              "https://www.example.com");
    const std::u16string host = std::u16string(55, u'h') + u".example";
    EXPECT_EQ(DroppedLinkEntry(u"https://" + host + u"/x", Latin1),
              std::string(55, 'h') + ".example");
    EXPECT_EQ(DroppedLinkEntry(u"http://" + std::u16string(64, u'h') + u"/", Latin1), std::nullopt);
    // At the limit the link stays whole.
    const std::u16string exact = u"http://a.example/" + std::u16string(63 - 17, u'x');
    EXPECT_EQ(DroppedLinkEntry(exact, Latin1)->size(), kMaxWhiteListEntryChars);
}

TEST(DroppedLink, WhatIsNoEntryGivesNone) {
    EXPECT_EQ(DroppedLinkEntry(u"", Latin1), std::nullopt);
    EXPECT_EQ(DroppedLinkEntry(u"ftp://example.com", Latin1), std::nullopt);
    EXPECT_EQ(DroppedLinkEntry(u"http://a.example/ b", Latin1), std::nullopt);
    // A lone surrogate cannot be written in any form.
    EXPECT_EQ(DroppedLinkEntry(std::u16string(u"http://a.example/") + char16_t(0xD800), Latin1),
              std::nullopt);
    // A code page that cannot hold it and a broken one: the ASCII form.
    const AnsiEncoder failing = [](std::u16string_view) { return std::nullopt; };
    EXPECT_EQ(DroppedLinkEntry(u"http://\u00e9.fr/", failing), "http://xn--9ca.fr/");
}

// The host is the link's own, as the blocking component reads it: a
// "http://" in a path or query names none, and a long link is cut to its host
// without the trailing dot.
TEST(DroppedLink, TheHostIsTheLinksOwnAsTheComponentReadsIt) {
    const std::vector<std::pair<std::u16string, std::optional<std::string>>> cases = {
        // Over 63 characters, so shortened: to its own host, not evil.example.
        {u"www.example.com/redirect/with/a/rather/long/path?target=http://evil.example/"
         u"landing-page",
         "www.example.com"},
        {u"https://www.example.com/redirect/with/a/rather/long/path?to=http://evil.example/",
         "https://www.example.com"},
        {u"www.b\u00fccher.de/go?to=http://x.com/", "www.xn--bcher-kva.de/go?to=http://x.com/"},
        {u"https://www.example.com./" + std::u16string(60, u'p'), "https://www.example.com"},
        // No host to be found: passed over; a full stop alone names none, in
        // whatever script it is written.
        {u"http://user@:8080/" + std::u16string(60, u'p'), std::nullopt},
        {u"http://@/x", std::nullopt},
        {u"http://\u3002/" + std::u16string(60, u'p'), std::nullopt},
    };
    const AnsiEncoder asciiOnly = [](std::u16string_view) { return std::nullopt; };
    for (const auto& [link, entry] : cases) {
        EXPECT_EQ(DroppedLinkEntry(link, asciiOnly), entry)
            << std::string(link.begin(), link.end());
    }
}

// Typed text the code page cannot hold is written as a dropped link is
// (what it holds is kept: TypedUnderCodePage1251), never with look-alikes.
TEST(TypedEntry, ConvertsWhatTheCodePageCannotHold) {
    EXPECT_EQ(TypedEntry(u"\u043f\u0440\u0430\u0432\u0434\u0430.ru/\u00e9", Latin1),
              "xn--80aafi6cg.ru/%C3%A9");
    // The component reads a host after a leading "//" too.
    EXPECT_EQ(TypedEntry(u"//\u4f8b.jp/\u4f8b", Latin1), "//xn--fsq.jp/%E4%BE%8B");
    EXPECT_EQ(TypedEntry(std::u16string(u"a.example") + char16_t(0xDC00), Latin1), std::nullopt);
}

}  // namespace
}  // namespace vgwl
