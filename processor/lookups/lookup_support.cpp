#include "processor/lookups/lookup_support.h"

#include "engine/errors.h"
#include "engine/state.h"

namespace zel::processor::lookup {

engine::cBusinessBasic& DataEngine() {
    const auto& engine = engine::Engine().DataEngine;
    if (!engine) platform::RaiseClassic(platform::err::kObjectNotSet, "DataEngine");
    return *engine;
}

std::string ServerName() {
    const auto& system = engine::Engine().SystemInfo;
    if (!system) platform::RaiseClassic(platform::err::kObjectNotSet, "CorvelSys");
    return system->mUNCDrive;
}

void PackAt(std::string& data, char code, std::int32_t value, std::int32_t position) {
    std::string op(1, code);
    DataEngine().Pack(op, data, value, position);
}

std::int32_t UnpackAt(const std::string& data, char code, std::int32_t position) {
    std::string op(1, code);
    return DataEngine().Unpack(op, data, position);
}

std::string Compress(std::string text) { return DataEngine().Crm(text); }

std::string CompressTo(std::string text, std::size_t width) {
    std::string bytes = Compress(std::move(text));
    bytes.resize(width, '\0');
    return bytes;
}

std::string ExpandAt(const std::string& bytes, std::size_t from, std::size_t count) {
    std::string part = Mid(bytes, from, count);
    return DataEngine().Ucm(part);
}

std::string Mid(std::string_view text, std::size_t from, std::size_t count) {
    if (from < 1 || from > text.size()) return {};
    return std::string(text.substr(from - 1, count));
}

std::string Fixed(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

bool NamesAFile(std::string_view code) {
    for (const char c : code) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) return false;
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace zel::processor::lookup
