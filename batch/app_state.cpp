#include "batch/app_state.h"

namespace ferrocase {

AppState& app_state() {
    static AppState state;
    return state;
}

} // namespace ferrocase
