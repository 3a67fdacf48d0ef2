#include "whitelist/WhiteListJournal.h"

#include <array>

namespace vgwl {
namespace {

constexpr std::string_view kMagic = "GWWLJRN1";

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}();

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::uint64_t GetLittleEndian(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    }
    return value;
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) noexcept {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc = kCrcTable[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string WhiteListJournalBytes(std::string_view list) {
    std::string out;
    out.reserve(kWhiteListJournalHeaderSize + list.size());
    out += kMagic;
    PutLittleEndian(out, list.size(), 8);
    PutLittleEndian(out, Crc32(list), 4);
    out += list;
    return out;
}

std::optional<std::string_view> WhiteListFromJournal(std::string_view journal) {
    if (journal.size() < kWhiteListJournalHeaderSize ||
        journal.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    const std::string_view list = journal.substr(kWhiteListJournalHeaderSize);
    // The length first: a stop while the list was being written leaves a
    // shorter file, and stale bytes beyond a shorter save a longer one.
    if (GetLittleEndian(journal, kMagic.size(), 8) != list.size() ||
        GetLittleEndian(journal, kMagic.size() + 8, 4) != Crc32(list)) {
        return std::nullopt;
    }
    return list;
}

}  // namespace vgwl
