#pragma once
// Small helpers shared by the engine's tests (header only, not used by the engine itself).
#include <initializer_list>
#include <string>

#include "platform/error.h"

namespace zel::engine::testing {

// A byte string from byte values 0-255.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(static_cast<unsigned char>(v)));
    return s;
}

// Runs `f` and returns the numbered error it raised (number 0, empty texts when none).
template <typename F>
platform::RuntimeError Raised(F&& f) {
    try {
        f();
    } catch (const platform::RuntimeError& e) {
        return e;
    }
    return platform::RuntimeError(0, "", "");
}

}  // namespace zel::engine::testing
