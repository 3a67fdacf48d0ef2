#pragma once
// Path helpers in the manner of the toolkit. Portable: no Windows header.

#include <string>
#include <string_view>

namespace vgwl {

// The folder of a file path, with its trailing separator ("C:\a\b.exe" ->
// "C:\a\"). Both separators count, so that forward-slash paths work too; a
// path without any separator has no folder and gives the empty text.
std::string ExtractFilePath(std::string_view path);

}  // namespace vgwl
