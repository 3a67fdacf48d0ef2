#pragma once
// The toolkit's exception family. Anything derived from ToolkitError that
// escapes an event handler reaches the application's exception display.

#include <stdexcept>
#include <string>

namespace vgwl {

class ToolkitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A missing registry value, a value of the wrong type, or a failed registry
// call inside an accessor block. The settings code catches it per block.
class RegistryError : public ToolkitError {
public:
    using ToolkitError::ToolkitError;
};

// A file that the toolkit's file stream cannot open.
class FileOpenError : public ToolkitError {
public:
    using ToolkitError::ToolkitError;
};

}  // namespace vgwl
