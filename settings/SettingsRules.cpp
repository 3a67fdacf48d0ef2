#include "settings/SettingsRules.h"

namespace vgwl {

std::string RunEntryData(std::string_view programPath) {
    if (programPath.size() >= 2 && programPath.front() == '"' && programPath.back() == '"') {
        return std::string(programPath);
    }
    std::string data;
    data.reserve(programPath.size() + 2);
    data += '"';
    data += programPath;
    data += '"';
    return data;
}

}  // namespace vgwl
