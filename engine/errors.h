#pragma once
// The engine raises the classic run-time errors where the business programs' own runtime would
// (overflow of an offset, an object that is not set, ...). Errors with the engine's own numbers
// and texts are raised where they occur.
#include "platform/error.h"

namespace zel::engine {

namespace err = platform::err;
using platform::RaiseClassic;

// The engine's own error numbers, each raised with its own text (the classic numbers the
// engine raises, 5, 6, 63 and the like, are platform::err's).
// A file argument that names nothing: a logical name no link resolves, an undefined object.
inline constexpr int kUndefinedFile = -10;
// An index whose blocks contradict each other (source: the operation).
inline constexpr int kIndexDamaged = -11;
// A field position outside the record for Pack or UnPack.
inline constexpr int kInvalidSubscript = 31;
// A record whose length is not the file's record length.
inline constexpr int kIllegalDataLength = 36;
// GetRec: record zero could not be locked, so no record is allocated.
inline constexpr int kRecordZeroLock = 57;
// A record number outside the file, or a record that is already deleted.
inline constexpr int kIllegalRecordNumber = 81;
// An operation code Pack or UnPack does not know.
inline constexpr int kUnknownOpCode = 100;

}  // namespace zel::engine
