#include "records/field_codec.h"

#include <cstdint>

#include "engine/dates.h"
#include "engine/packing.h"
#include "engine/text.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "records/converters.h"

namespace zel::records {

namespace {

using platform::Currency;

[[noreturn]] void WrongType(const FieldLayout& f) {
    throw platform::RuntimeError(platform::err::kTypeMismatch, std::string(f.name),
                                 "Type mismatch");
}

template <class T>
T& As(const FieldLayout& f, FieldRef ref) {
    T* const* p = std::get_if<T*>(&ref);
    if (!p || !*p) WrongType(f);
    return **p;
}

bool Present(FieldRef ref) {
    return std::visit([](auto* p) { return p != nullptr; }, ref);
}

// The bytes of a field as the business programs' substring gives them: what lies inside the
// image, "" when the field starts past its end.
std::string Slice(const std::string& image, int position, int width) {
    const auto at = static_cast<std::size_t>(position - 1);
    if (position < 1 || at >= image.size()) return "";
    return image.substr(at, static_cast<std::size_t>(width));
}

// Overwrites the field's bytes with `bytes` (already the field's width), as far as the image
// reaches; a field that starts past the end is an error.
void Overwrite(std::string& image, int position, const std::string& bytes) {
    const auto at = static_cast<std::size_t>(position - 1);
    if (position < 1 || at >= image.size())
        platform::RaiseClassic(platform::err::kInvalidCall, "Pack");
    image.replace(at, std::min(bytes.size(), image.size() - at), bytes, 0,
                  std::min(bytes.size(), image.size() - at));
}

std::string Compressed(std::string& text, int width) {
    std::string bytes = engine::Crm(text);
    bytes.resize(static_cast<std::size_t>(width), '\0');
    return bytes;
}

std::string Expanded(const std::string& image, int position, int width) {
    std::string bytes = Slice(image, position, width);
    return engine::Ucm(bytes);
}

std::int32_t Checked32(std::int64_t v) {
    return platform::Int32Of(v, platform::err::kOverflow, "Pack");
}

std::int64_t IntegerOf(const FieldLayout& f, FieldRef ref) {
    if (auto* p = std::get_if<std::int32_t*>(&ref); p && *p) return **p;
    return As<std::int16_t>(f, ref);
}

void SetInteger(const FieldLayout& f, FieldRef ref, std::int64_t v) {
    if (auto* p = std::get_if<std::int32_t*>(&ref); p && *p) {
        **p = Checked32(v);
        return;
    }
    As<std::int16_t>(f, ref) = static_cast<std::int16_t>(v);
}

std::string DateType(const FieldLayout& f) { return std::string(1, f.opcode); }

}  // namespace

void UnpackField(const FieldLayout& f, FieldRef value, const std::string& image, FieldRef plus) {
    switch (f.kind) {
        case FieldKind::Integer: {
            std::int64_t v = engine::Unpack(f.opcode, image, f.position);
            if (f.rangeMax != 0 && (v > f.rangeMax || v < 0)) v = 0;
            if (Present(plus)) v += IntegerOf(f, plus);
            SetInteger(f, value, v);
            return;
        }
        case FieldKind::Scaled: {
            Currency c = Currency::FromUnits(engine::Unpack(f.opcode, image, f.position), f.scale);
            if (Present(plus)) c += As<Currency>(f, plus);
            As<Currency>(f, value) = c;
            return;
        }
        case FieldKind::Date:
            As<engine::DateTime>(f, value) = engine::UnPackDate(DateType(f), image, f.position);
            return;
        case FieldKind::Compressed:
            As<std::string>(f, value) = Expanded(image, f.position, f.width);
            return;
        case FieldKind::Plain:
            As<std::string>(f, value) = Slice(image, f.position, f.width);
            return;
        case FieldKind::PlainBlank: {
            std::string text = Slice(image, f.position, f.width);
            for (char& c : text)
                if (c == '\0') c = ' ';
            As<std::string>(f, value) = std::move(text);
            return;
        }
        case FieldKind::Bit: {
            const std::int32_t byte = engine::Unpack('B', image, f.position);
            As<std::int16_t>(f, value) =
                static_cast<std::int16_t>(engine::Min(byte & (1 << f.bit), 1));
            return;
        }
        case FieldKind::BitPair: {
            const std::int32_t byte = engine::Unpack('B', image, f.position);
            std::int16_t v = 0;
            if (byte & (1 << f.bit)) v = 1;
            if (byte & (1 << (f.bit + 1))) v = 2;
            As<std::int16_t>(f, value) = v;
            return;
        }
        case FieldKind::YesNo:
            As<std::int16_t>(f, value) = YNToFlag(Slice(image, f.position, f.width));
            return;
        case FieldKind::PartNumber: {
            const std::string s = Expanded(image, f.position, f.width);
            if (s.size() < 3)
                platform::RaiseClassic(platform::err::kInvalidCall, std::string(f.name));
            std::string number = s.substr(0, s.size() - 3);
            RestorePartNumber(number, s.substr(s.size() - 3));
            As<std::string>(f, value) = std::move(number);
            return;
        }
        case FieldKind::CodeChar: {
            const std::string s = Expanded(image, f.position, f.width);
            const auto at = static_cast<std::size_t>(f.bit - 1);
            As<std::string>(f, value) = at < s.size() ? s.substr(at, 1) : std::string();
            return;
        }
        case FieldKind::Derived:
        case FieldKind::NotStored: return;
    }
}

void PackField(const FieldLayout& f, FieldRef value, std::string& image, FieldRef plus) {
    switch (f.kind) {
        case FieldKind::Integer: {
            std::int64_t v = IntegerOf(f, value);
            if (Present(plus)) v -= IntegerOf(f, plus);
            engine::Pack(f.opcode, image, Checked32(v), f.position);
            return;
        }
        case FieldKind::Scaled: {
            Currency c = As<Currency>(f, value);
            if (Present(plus)) c -= As<Currency>(f, plus);
            engine::Pack(f.opcode, image, Checked32(c.ToUnits(f.scale)), f.position);
            return;
        }
        case FieldKind::Date:
            engine::PackDate(DateType(f), image, f.position, As<engine::DateTime>(f, value));
            return;
        case FieldKind::Compressed: {
            if (f.padsInPlace) {
                Overwrite(image, f.position, Compressed(As<std::string>(f, value), f.width));
            } else {
                std::string copy = As<std::string>(f, value);
                Overwrite(image, f.position, Compressed(copy, f.width));
            }
            return;
        }
        case FieldKind::Plain:
        case FieldKind::PlainBlank: {
            std::string text = As<std::string>(f, value);
            text.resize(static_cast<std::size_t>(f.width), ' ');
            Overwrite(image, f.position, text);
            return;
        }
        case FieldKind::Bit: {
            const std::int32_t mask = 1 << f.bit;
            std::int32_t byte = engine::Unpack('B', image, f.position) & (255 - mask);
            if (As<std::int16_t>(f, value) != 0) byte |= mask;
            engine::Pack('B', image, byte, f.position);
            return;
        }
        case FieldKind::BitPair: {
            // Two read-modify-writes: the first bit for any value but 0, the second for 2.
            const std::int16_t v = As<std::int16_t>(f, value);
            for (int k = 0; k < 2; ++k) {
                const std::int32_t mask = 1 << (f.bit + k);
                std::int32_t byte = engine::Unpack('B', image, f.position) & (255 - mask);
                if (k == 0 ? v != 0 : v == 2) byte |= mask;
                engine::Pack('B', image, byte, f.position);
            }
            return;
        }
        case FieldKind::YesNo:
            Overwrite(image, f.position, FlagToYN(As<std::int16_t>(f, value)));
            return;
        case FieldKind::PartNumber: {
            std::string number = As<std::string>(f, value);
            std::string code;
            StripPartNumber(number, code);
            const int numberBytes = f.width - 2;
            number = number.substr(0, static_cast<std::size_t>(numberBytes / 2 * 3));
            code = code.substr(0, 3);
            Overwrite(image, f.position, Compressed(number, numberBytes) + Compressed(code, 2));
            return;
        }
        case FieldKind::CodeChar:
        case FieldKind::Derived:
        case FieldKind::NotStored: return;
    }
}

void SetAlphabetHead(std::string_view head) { engine::StmaSetAlphabetHead(0, std::string(head)); }

}  // namespace zel::records
