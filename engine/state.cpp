#include "engine/state.h"

namespace zel::engine {

EngineState& Engine() {
    static EngineState state;
    return state;
}

}  // namespace zel::engine
