#include "core/Navigation.h"

namespace kv {

Navigation& Navigate() {
    static Navigation ways;
    return ways;
}

}  // namespace kv
