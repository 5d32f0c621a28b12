#pragma once
// cBusinessBasic: the one door to the business system's data. It holds no state of its own;
// every object works on the program-wide engine state (state.h), and each operation forwards
// to the engine procedure that does the work. Creating an object runs the connection set-up
// (catalog.h) and replaces the link table, open-file list and logical-file cache; releasing
// one releases them and SystemInfo.
//
// File arguments take an object as it is, or a name that is resolved anew on every call: a
// name for an open file by OpenFile's rule, a logical-file name by LogicalOpen, where a name
// that resolves to nothing raises -10 "LogicalOpen" "File not Found: "<name>"".
// `Orb`, wherever it stands, has no effect.
#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "engine/dates.h"
#include "engine/fileio.h"
#include "engine/state.h"

namespace zel::engine {

// A file argument: an object, or a name (numbers are taken as their decimal text).
template <class T>
class FileArg {
public:
    FileArg(std::shared_ptr<T> object) : object_(std::move(object)), isObject_(true) {}
    FileArg(std::string name) : name_(std::move(name)) {}
    FileArg(const char* name) : name_(name ? name : "") {}
    template <std::integral N>
    FileArg(N number) : name_(std::to_string(number)) {}

    bool IsObject() const { return isObject_; }
    const std::shared_ptr<T>& Object() const { return object_; }
    const std::string& Name() const { return name_; }

private:
    std::shared_ptr<T> object_;
    std::string name_;
    bool isObject_ = false;
};
using OpenFileArg = FileArg<cOpenFile>;
using LogicalFileArg = FileArg<cLogicalFile>;

// The loosely typed in-out values of Stma: empty, a number, a text or a date.
class Variant {
public:
    Variant() = default;
    Variant(std::int32_t n) : value_(n) {}
    Variant(std::string s) : value_(std::move(s)) {}
    Variant(const char* s) : value_(std::string(s ? s : "")) {}
    Variant(const DateTime& d) : value_(d) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsNumber() const { return std::holds_alternative<std::int32_t>(value_); }
    bool IsText() const { return std::holds_alternative<std::string>(value_); }
    bool IsDate() const { return std::holds_alternative<DateTime>(value_); }
    // As a whole number: empty is 0, text must be a number (error 13 otherwise).
    std::int32_t AsLong() const;
    std::string AsText() const;
    DateTime AsDate() const;  // error 13 unless it holds a date

private:
    std::variant<std::monostate, std::int32_t, std::string, DateTime> value_;
};

class cBusinessBasic {
public:
    // Runs the connection set-up; raises 91 when the share or the terminal map is missing.
    cBusinessBasic();
    // Releases the program-wide collections and SystemInfo.
    ~cBusinessBasic();
    cBusinessBasic(const cBusinessBasic&) = delete;
    cBusinessBasic& operator=(const cBusinessBasic&) = delete;

    // The 37 operations, in their fixed slot order.
    /* 0 */ std::int32_t Unpack(std::string& OpCode, const std::string& Data,
                                std::int32_t Position);
    /* 1 */ void Pack(std::string& OpCode, std::string& Data, std::int32_t Value,
                      std::int32_t Position);
    /* 2 */ void PackDate(const std::string& OpCode, std::string& Data, std::int32_t Position,
                          const DateTime& DateValue);
    /* 3 */ DateTime UnPackDate(const std::string& OpCode, const std::string& Data,
                                std::int32_t Position);
    /* 4 */ std::string Crm(std::string& Source);
    /* 5 */ std::int32_t Max(std::int32_t Var1, std::int32_t Var2);
    /* 6 */ std::int32_t Min(std::int32_t Var1, std::int32_t Var2);
    /* 7 */ std::string Ucm(std::string& Source);
    /* 8 */ void StrPos(std::int32_t& Location, const std::string& Source,
                        const std::string& Target);
    /* 9 */ std::string Trun(const std::string& Source,
                             std::int32_t flgRemoveControlCharacters = 0);
    /* 10 */ std::string ReadFile(const OpenFileArg& OpenFile, std::int32_t BytesToRead,
                                  std::int32_t Position = 0, bool Orb = false);
    /* 11 */ void WriteFile(const OpenFileArg& OpenFile, const std::string& Record,
                            std::int32_t Position, bool Orb = false);
    /* 12 */ std::string BlockReadFile(const OpenFileArg& OpenFile, std::int32_t BlockNumber,
                                       bool Orb = false);
    /* 13 */ void BlockWriteFile(const OpenFileArg& OpenFile, std::int32_t BlockNumber,
                                 const std::string& Record, bool Orb = false);
    /* 14 */ std::shared_ptr<cOpenFile> OpenFile(std::string& FileName);
    /* 15 */ std::int32_t KLength(const LogicalFileArg& LogicalFile, bool Orb = false);
    /* 16 */ void CloseFile(const OpenFileArg& FileName);
    /* 17 */ std::shared_ptr<cLogicalFile> LogicalOpen(const std::string& FileName);
    /* 18 */ std::shared_ptr<cLogicalFile> PhysLogicalOpen(std::string& FileName,
                                                           const std::string& FileType,
                                                           std::int32_t RecordLength);
    std::shared_ptr<cLogicalFile> PhysLogicalOpen(std::string& FileName,
                                                  const std::string& FileType,
                                                  std::int32_t RecordLength,
                                                  std::int32_t& LastRecord);
    /* 19 */ std::string LreadFile(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                                   bool Orb = false);
    /* 20 */ void LwriteFile(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                             const std::string& Record, bool Orb = false);
    /* 21 */ std::int32_t KCount(const LogicalFileArg& LogicalFile, bool Orb = false);
    /* 22 */ std::shared_ptr<cSystem> CorvelSys() const;
    /* 23 */ DateTime Now();
    /* 24 */ std::int32_t PhysicalLock(const std::string& FileName, std::int32_t Position,
                                       std::int32_t LockLength);
    /* 25 */ std::int32_t LogicalLock(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber);
    /* 26 */ std::int32_t ReleaseLock(std::int32_t LockNumber);
    /* 27 */ void DelRec(const LogicalFileArg& LogicalFile, std::int32_t RecordNumber,
                         bool Orb = false);
    /* 28 */ void GetRec(const LogicalFileArg& LogicalFile, std::int32_t& RecordNumber,
                         bool Orb = false);
    /* 29 */ void InitFile(const LogicalFileArg& LogicalFile, std::int32_t KeyLength = 0,
                           bool DuplicateKeys = false, std::int32_t BlockingFactor = 0,
                           bool Orb = false);
    /* 30 */ void KFind(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                        std::int32_t& Rec, bool Orb = false);
    /* 31 */ void KLast(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                        std::int32_t& Rec, bool Orb = false);
    /* 32 */ void KNext(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                        std::int32_t& Rec, bool Orb = false);
    /* 33 */ void KPrev(const LogicalFileArg& LogicalFile, std::string& Buff, std::string& Key,
                        std::int32_t& Rec, bool Orb = false);
    /* 34 */ std::vector<std::string> Split(std::string Expression, std::string Delimiter = " ",
                                            std::int32_t Limit = -1, std::int32_t Compare = 0);
    /* 35 */ std::int32_t Sys(std::int32_t value);
    /* 36 */ void Stma(Variant& Var1, Variant& Var2, Variant* Var3 = nullptr,
                       Variant* Var4 = nullptr, Variant* Var5 = nullptr, Variant* Var6 = nullptr);
};

}  // namespace zel::engine
