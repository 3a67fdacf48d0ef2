#include "ui/ProgramFile.h"

#include <windows.h>

#include <vector>

namespace vgwl {

std::string ProgramFilePath() {
    // Long paths do not fit MAX_PATH: grow until the name is not cut.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        if (buffer.size() >= 32768) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace vgwl
