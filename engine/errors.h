#pragma once
// The engine raises the classic run-time errors where the business programs' own runtime would
// (overflow of an offset, an object that is not set, ...). Errors with the engine's own numbers
// and texts are raised where they occur.
#include "platform/error.h"

namespace zel::engine {

namespace err = platform::err;
using platform::RaiseClassic;

}  // namespace zel::engine
