#pragma once
// First-run registration of the blocking component: the library beside the
// program, loaded by its full path, its registration export called once.
// Holds the loaded library, which stays loaded until the program ends.

#include <windows.h>

#include <string>

namespace vgwl {

class ComponentRegistrar {
public:
    ComponentRegistrar() = default;
    // The library is deliberately not freed: the component may have handed
    // the system pointers into itself during its registration.
    ~ComponentRegistrar() = default;
    ComponentRegistrar(const ComponentRegistrar&) = delete;
    ComponentRegistrar& operator=(const ComponentRegistrar&) = delete;

    // True when the component's registration was called. False, with
    // start-up going on, when the library is not there, is not a library or
    // lacks the export, or when the program's folder is not an absolute path.
    bool Register(const std::string& programPath);

    [[nodiscard]] bool Loaded() const noexcept { return component_ != nullptr; }

private:
    HMODULE component_ = nullptr;
};

}  // namespace vgwl
