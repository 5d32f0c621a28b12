#include "engine/packing.h"

#include <string>

#include "engine/errors.h"
#include "engine/text.h"
#include "platform/error.h"

namespace zel::engine {

namespace {

struct Field {
    int width;  // 0: unknown code
    bool signed_;
};

constexpr Field FieldOf(char upper) {
    switch (upper) {
        case 'B': return {1, false};
        case 'C': return {2, false};
        case 'D': return {3, false};
        case 'I': return {1, true};
        case 'J': return {2, true};
        case 'K': return {3, true};
        case 'L': return {4, true};
        default: return {0, false};
    }
}

// The code the caller gave, reduced to its field: a text longer than one letter is no code.
Field FieldOfCode(std::string_view upperCode) {
    return upperCode.size() == 1 ? FieldOf(upperCode[0]) : Field{0, false};
}

[[noreturn]] void UnknownCode(const char* source, std::string_view upperCode) {
    throw platform::RuntimeError(kUnknownOpCode, source,
                                 "Unknown OpCode = \"" + std::string(upperCode) + "\"");
}

[[noreturn]] void PackSubscript(std::string_view code, std::int32_t position, std::size_t len) {
    throw platform::RuntimeError(kInvalidSubscript, "Pack",
                                 "Invalid Subscript.  Pack \"" + std::string(code) + "\", Data$, " +
                                     std::to_string(position) +
                                     "   Len(Data$) = " + std::to_string(len));
}

[[noreturn]] void UnpackSubscript(std::string_view code, std::int32_t position, std::size_t len) {
    throw platform::RuntimeError(kInvalidSubscript, "UnPack",
                                 "Invalid Subscript.  UnPack(\"" + std::string(code) +
                                     "\", Data$, " + std::to_string(position) +
                                     ")   Len(Data$) = " + std::to_string(len));
}

// The field's last byte lies past the end of the image (computed wide: no overflow).
bool PastEnd(std::int32_t position, int width, std::size_t len) {
    return static_cast<std::int64_t>(position) + width - 1 > static_cast<std::int64_t>(len);
}

void PackField(Field f, std::string_view upperCode, std::string& data, std::int32_t value,
               std::int32_t position) {
    if (f.width == 0) UnknownCode("Pack", upperCode);
    if (PastEnd(position, f.width, data.size())) PackSubscript(upperCode, position, data.size());
    if (position < 1) RaiseClassic(err::kInvalidCall, "Pack");
    auto v = static_cast<std::uint32_t>(value);
    char* out = data.data() + (position - 1);
    for (int i = f.width - 1; i >= 0; --i) {
        out[i] = static_cast<char>(static_cast<unsigned char>(v & 0xFFu));
        v >>= 8;
    }
}

std::int32_t UnpackField(Field f, std::string_view upperCode, std::string_view data,
                         std::int32_t position) {
    if (f.width == 0) UnknownCode("UnPack", upperCode);
    // The short signed codes look at their sign byte before the bounds test, so a position
    // past the end fails there as an invalid argument rather than as a bad subscript.
    if (f.signed_ && f.width < 4 &&
        (position < 1 || static_cast<std::size_t>(position) > data.size())) {
        RaiseClassic(err::kInvalidCall, "UnPack");
    }
    if (PastEnd(position, f.width, data.size())) UnpackSubscript(upperCode, position, data.size());
    if (position < 1) RaiseClassic(err::kInvalidCall, "UnPack");
    const auto* in = reinterpret_cast<const unsigned char*>(data.data()) + (position - 1);
    std::uint32_t v = 0;
    for (int i = 0; i < f.width; ++i) v = (v << 8) | in[i];
    if (f.signed_ && f.width < 4 && (in[0] & 0x80u)) v |= ~0u << (8 * f.width);
    return static_cast<std::int32_t>(v);
}

}  // namespace

void Pack(std::string& opCode, std::string& data, std::int32_t value, std::int32_t position) {
    for (char& c : opCode) c = UpperCase(c);
    PackField(FieldOfCode(opCode), opCode, data, value, position);
}

std::int32_t Unpack(std::string& opCode, std::string_view data, std::int32_t position) {
    for (char& c : opCode) c = UpperCase(c);
    return UnpackField(FieldOfCode(opCode), opCode, data, position);
}

void Pack(char opCode, std::string& data, std::int32_t value, std::int32_t position) {
    const char upper = UpperCase(opCode);
    PackField(FieldOf(upper), std::string_view(&upper, 1), data, value, position);
}

std::int32_t Unpack(char opCode, std::string_view data, std::int32_t position) {
    const char upper = UpperCase(opCode);
    return UnpackField(FieldOf(upper), std::string_view(&upper, 1), data, position);
}

}  // namespace zel::engine
