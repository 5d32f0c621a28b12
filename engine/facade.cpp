#include "engine/facade.h"

#include <cstdlib>

#include "engine/catalog.h"
#include "engine/errors.h"
#include "engine/keyindex.h"
#include "engine/link.h"
#include "engine/packing.h"
#include "engine/recordzero.h"
#include "engine/text.h"
#include "platform/error.h"

namespace zel::engine {

namespace eng = zel::engine;

namespace {

std::shared_ptr<cOpenFile> Resolve(const OpenFileArg& arg) {
    if (arg.IsObject()) return arg.Object();
    std::string name = arg.Name();
    return eng::OpenFile(name);
}

std::shared_ptr<cLogicalFile> Resolve(const LogicalFileArg& arg) {
    if (arg.IsObject()) return arg.Object();
    auto file = eng::LogicalOpen(arg.Name());
    if (!file) {
        throw platform::RuntimeError(kUndefinedFile, "LogicalOpen",
                                     "File not Found: \"" + arg.Name() + "\"");
    }
    return file;
}

}  // namespace

// ---- Variant ----

std::int32_t Variant::AsLong() const {
    if (IsEmpty()) return 0;
    if (IsNumber()) return std::get<std::int32_t>(value_);
    if (IsText()) {
        // Not platform::ToInt32: a text here stands for a whole-number argument of an engine
        // operation, and a fraction in it is refused with 13 rather than rounded.
        const std::string& t = std::get<std::string>(value_);
        const auto first = t.find_first_not_of(' ');
        if (first == std::string::npos) RaiseClassic(err::kTypeMismatch, "Stma");
        const auto last = t.find_last_not_of(' ');
        const std::string s = t.substr(first, last - first + 1);
        char* end = nullptr;
        const long long v = std::strtoll(s.c_str(), &end, 10);
        if (end != s.c_str() + s.size()) RaiseClassic(err::kTypeMismatch, "Stma");
        if (v > INT32_MAX || v < INT32_MIN) RaiseClassic(err::kOverflow, "Stma");
        return static_cast<std::int32_t>(v);
    }
    RaiseClassic(err::kTypeMismatch, "Stma");
}

std::string Variant::AsText() const {
    if (IsEmpty()) return {};
    if (IsNumber()) return std::to_string(std::get<std::int32_t>(value_));
    if (IsText()) return std::get<std::string>(value_);
    const DateTime& d = std::get<DateTime>(value_);
    return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
}

DateTime Variant::AsDate() const {
    if (!IsDate()) RaiseClassic(err::kTypeMismatch, "Stma");
    return std::get<DateTime>(value_);
}

// ---- creation and release ----

cBusinessBasic::cBusinessBasic() { ConnectEngine(); }

cBusinessBasic::~cBusinessBasic() { ReleaseEngine(); }

// ---- the operations, in slot order ----

std::int32_t cBusinessBasic::Unpack(std::string& OpCode, const std::string& Data,
                                    std::int32_t Position) {
    return eng::Unpack(OpCode, Data, Position);
}

void cBusinessBasic::Pack(std::string& OpCode, std::string& Data, std::int32_t Value,
                          std::int32_t Position) {
    eng::Pack(OpCode, Data, Value, Position);
}

void cBusinessBasic::PackDate(const std::string& OpCode, std::string& Data, std::int32_t Position,
                              const DateTime& DateValue) {
    eng::PackDate(OpCode, Data, Position, DateValue);
}

DateTime cBusinessBasic::UnPackDate(const std::string& OpCode, const std::string& Data,
                                    std::int32_t Position) {
    return eng::UnPackDate(OpCode, Data, Position);
}

std::string cBusinessBasic::Crm(std::string& Source) { return eng::Crm(Source); }

std::int32_t cBusinessBasic::Max(std::int32_t Var1, std::int32_t Var2) {
    return eng::Max(Var1, Var2);
}

std::int32_t cBusinessBasic::Min(std::int32_t Var1, std::int32_t Var2) {
    return eng::Min(Var1, Var2);
}

std::string cBusinessBasic::Ucm(std::string& Source) { return eng::Ucm(Source); }

void cBusinessBasic::StrPos(std::int32_t& Location, const std::string& Source,
                            const std::string& Target) {
    eng::StrPos(Location, Source, Target);
}

std::string cBusinessBasic::Trun(const std::string& Source,
                                 std::int32_t flgRemoveControlCharacters) {
    return eng::Trun(Source, flgRemoveControlCharacters);
}

std::string cBusinessBasic::ReadFile(const OpenFileArg& OpenFile, std::int32_t BytesToRead,
                                     std::int32_t Position, bool /*Orb*/) {
    const auto file = Resolve(OpenFile);
    return eng::ReadFile(file.get(), BytesToRead, Position);
}

void cBusinessBasic::WriteFile(const OpenFileArg& OpenFile, const std::string& Record,
                               std::int32_t Position, bool /*Orb*/) {
    const auto file = Resolve(OpenFile);
    eng::WriteFile(file.get(), Record, Position);
}

std::string cBusinessBasic::BlockReadFile(const OpenFileArg& OpenFile, std::int32_t BlockNumber,
                                          bool /*Orb*/) {
    const auto file = Resolve(OpenFile);
    return eng::BlockReadFile(file.get(), BlockNumber);
}

void cBusinessBasic::BlockWriteFile(const OpenFileArg& OpenFile, std::int32_t BlockNumber,
                                    const std::string& Record, bool /*Orb*/) {
    const auto file = Resolve(OpenFile);
    eng::BlockWriteFile(file.get(), BlockNumber, Record);
}

std::shared_ptr<cOpenFile> cBusinessBasic::OpenFile(std::string& FileName) {
    return eng::OpenFile(FileName);
}

std::int32_t cBusinessBasic::KLength(const LogicalFileArg& LogicalFile, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    return eng::KLength(file.get());
}

void cBusinessBasic::CloseFile(const OpenFileArg& FileName) {
    if (FileName.IsObject()) {
        eng::CloseFile(FileName.Object().get());
    } else {
        eng::CloseFile(FileName.Name());
    }
}

std::shared_ptr<cLogicalFile> cBusinessBasic::LogicalOpen(const std::string& FileName) {
    return eng::LogicalOpen(FileName);
}

std::shared_ptr<cLogicalFile> cBusinessBasic::PhysLogicalOpen(std::string& FileName,
                                                              const std::string& FileType,
                                                              std::int32_t RecordLength) {
    return eng::PhysLogicalOpen(FileName, FileType, RecordLength, nullptr);
}

std::shared_ptr<cLogicalFile> cBusinessBasic::PhysLogicalOpen(std::string& FileName,
                                                              const std::string& FileType,
                                                              std::int32_t RecordLength,
                                                              std::int32_t& LastRecord) {
    return eng::PhysLogicalOpen(FileName, FileType, RecordLength, &LastRecord);
}

std::string cBusinessBasic::LreadFile(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                                      bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    return eng::LreadFile(file.get(), RecordNumber);
}

void cBusinessBasic::LwriteFile(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                                const std::string& Record, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::LwriteFile(file.get(), RecordNumber, Record);
}

std::int32_t cBusinessBasic::KCount(const LogicalFileArg& LogicalFile, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    return eng::KCount(file.get());
}

std::shared_ptr<cSystem> cBusinessBasic::CorvelSys() const { return Engine().SystemInfo; }

DateTime cBusinessBasic::Now() { return eng::Now(); }

std::int32_t cBusinessBasic::PhysicalLock(const std::string& FileName, std::int32_t Position,
                                          std::int32_t LockLength) {
    return eng::PhysicalLock(FileName, Position, LockLength);
}

std::int32_t cBusinessBasic::LogicalLock(const LogicalFileArg& LogicalFile,
                                         std::int32_t RecordNumber) {
    const auto file = Resolve(LogicalFile);
    return eng::LogicalLock(file.get(), RecordNumber);
}

std::int32_t cBusinessBasic::ReleaseLock(std::int32_t LockNumber) {
    return eng::ReleaseLock(LockNumber);
}

void cBusinessBasic::DelRec(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                            bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::DelRec(file.get(), RecordNumber);
}

void cBusinessBasic::GetRec(const LogicalFileArg& LogicalFile, std::int32_t& RecordNumber,
                            bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::GetRec(file.get(), RecordNumber);
}

void cBusinessBasic::InitFile(const LogicalFileArg& LogicalFile, std::int32_t KeyLength,
                              bool DuplicateKeys, std::int32_t BlockingFactor, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::InitFile(file.get(), KeyLength, DuplicateKeys, BlockingFactor);
}

void cBusinessBasic::KFind(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                           std::int32_t& Rec, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::KFind(file.get(), Buff, Key, Rec);
}

void cBusinessBasic::KLast(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                           std::int32_t& Rec, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::KLast(file.get(), Buff, Key, Rec);
}

void cBusinessBasic::KNext(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                           std::int32_t& Rec, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::KNext(file.get(), Buff, Key, Rec);
}

void cBusinessBasic::KPrev(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                           std::int32_t& Rec, bool /*Orb*/) {
    const auto file = Resolve(LogicalFile);
    eng::KPrev(file.get(), Buff, Key, Rec);
}

std::vector<std::string> cBusinessBasic::Split(std::string Expression, std::string Delimiter,
                                               std::int32_t Limit, std::int32_t Compare) {
    return eng::Split(Expression, Delimiter, Limit, Compare);
}

std::int32_t cBusinessBasic::Sys(std::int32_t value) { return eng::Sys(value); }

void cBusinessBasic::Stma(Variant& Var1, Variant& Var2, Variant* Var3, Variant* Var4, Variant* Var5,
                          Variant* Var6) {
    auto arg = [](const Variant* v) { return v ? *v : Variant(); };
    switch (Var1.AsLong()) {
        case 10: StmaSetAlphabetHead(Var2.AsLong(), arg(Var3).AsText()); break;
        case 11: {
            std::int32_t month = 0, day = 0, year = 0;
            DateTime date;
            StmaDayToParts(Var2.AsLong(), Var3 ? &month : nullptr, Var4 ? &day : nullptr,
                           Var5 ? &year : nullptr, Var6 ? &date : nullptr);
            if (Var6) *Var6 = date;
            if (Var3) *Var3 = month;
            if (Var4) *Var4 = day;
            if (Var5) *Var5 = year;
            break;
        }
        case 12:
            Var2 = StmaPartsToDay(arg(Var3).AsLong(), arg(Var4).AsLong(), arg(Var5).AsLong());
            break;
        default: break;
    }
}

}  // namespace zel::engine
