// The one program-wide instance of a module's state (Setup's and the uninstaller's host
// and module state), made on first use and alive until the program ends.
#pragma once

namespace kv::install {

template <class T>
T& ProgramWide() {
    static T instance;
    return instance;
}

}  // namespace kv::install
