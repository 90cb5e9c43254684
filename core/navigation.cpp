#include "core/Navigation.h"

namespace kv {

Navigation& Navigate() {
    static Navigation ways;
    return ways;
}

bool AdministratorStillAllowed() {
    const auto& allowed = Navigate().AdministratorAllowed;
    return !allowed || allowed();
}

}  // namespace kv
