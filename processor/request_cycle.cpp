#include "processor/request_cycle.h"

#include <ctime>
#include <exception>
#include <limits>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "processor/globals.h"
#include "processor/order_journal.h"
#include "processor/po_entry.h"
#include "processor/query_entry.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kHeader = "ZELINFO";
constexpr const char* kTimeSection = "Time";
// How the program ends after a failure it cannot handle; the next start takes the request up.
constexpr int kFailureExitCode = 1;

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::vector<std::string> SplitSectionList(const std::string& list) {
    std::vector<std::string> entries;
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find('\0', pos);
        if (end == std::string::npos) end = list.size();
        if (end == pos) break;  // the empty string that ends the list
        entries.push_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return entries;
}

// The request's header section as the 4096-character buffer holds it. When the section is
// longer the buffer ends inside an entry; that entry is left out rather than passed on with a
// value cut short, so every key the documents carry has the value the sender gave it.
std::string ReadHeaderSection(const std::string& requestFile) {
    std::string list = fs::GetProfileSection(kHeader, kSectionBuffer, requestFile);
    if (list.size() + 1 < kSectionBuffer) return list;

    std::vector<std::string> entries = SplitSectionList(list);
    if (!entries.empty()) {
        std::vector<std::string> whole = fs::GetProfileSectionLines(kHeader, requestFile);
        std::size_t last = entries.size() - 1;
        if (last >= whole.size() || whole[last] != entries[last]) entries.pop_back();
    }
    std::string kept;
    for (const std::string& entry : entries) {
        kept += entry;
        kept += '\0';
    }
    kept += '\0';
    return kept;
}

void WriteSection(const std::string& file, const std::string& section, const std::string& list) {
    if (!fs::WriteProfileSection(section, list, file)) {
        throw fs::RuntimeError(fs::err::kPathFileAccess, "WriteProfileSection",
                               "Path/File access error: " + file);
    }
}

// A deletion whose failure does not matter: the file is not needed any more either way.
void DeleteIgnoringFailure(const std::string& path) {
    try {
        fs::TryDeleteFile(path);
    } catch (const std::exception&) {
    }
}

// Copies the request into the archive. A request that is gone by now (another program took
// it) has nothing left to archive or delete; any other failure is the caller's.
// Returns false when the request no longer exists.
bool ArchiveRequest(const RequestContext& ctx) {
    try {
        fs::CopyFile(ctx.requestFile, ctx.outFile);
        return true;
    } catch (const std::exception&) {
        if (fs::ListDirectory(ctx.requestFile).empty()) return false;
        throw;
    }
}

void EndOfRequest(RequestContext& ctx) {
    ctx.step = 725;
    const std::int32_t errCount =
        ToInt32(ReadValue(ctx.exceptionsWork, "COUNT", "ErrCount", "0"), "ProcessRequest");

    ctx.step = 800;
    WriteValue(ctx.timeLog, kTimeSection, "End Time:", ClockTime());

    if (errCount == 0) {
        ctx.step = 810;
        DeleteIgnoringFailure(ctx.exceptionsWork);
        fs::CopyFile(ctx.answerWork, ctx.answerFile);
        if (gLogging) {
            ctx.step = 820;
            const std::string logCopy = ReplaceAll(ctx.timeLog, "zeldist", "zeltest");
            ctx.step = 830;
            fs::CopyFile(ctx.timeLog, logCopy);
            fs::CopyFile(ctx.answerWork, ctx.timeLog);
        }
        ctx.step = 860;
        fs::DeleteFile(ctx.answerWork);
    } else {
        ctx.step = 880;
        DeleteIgnoringFailure(ctx.answerWork);
        ctx.step = 890;
        fs::CopyFile(ctx.exceptionsWork, ctx.exceptionsFile);
        ctx.step = 896;
        fs::DeleteFile(ctx.exceptionsWork);
    }

    bool requestThere = true;
    if (gArchive) {
        ctx.step = 910;
        ctx.step = 915;
        ctx.outFile = ArchivePath(ctx.requestFile);
        ctx.step = 920;
        requestThere = ArchiveRequest(ctx);
    }
    if (requestThere) {
        ctx.step = 930;
        fs::DeleteFile(ctx.requestFile);
    }
    if (gArchive) {
        ctx.step = 940;
        ctx.step = 945;
        ctx.outFile = ArchivePath(ctx.timeLog);
        ctx.step = 950;
        fs::CopyFile(ctx.timeLog, ctx.outFile);
    }
    ctx.step = 950;
    fs::DeleteFile(ctx.timeLog);
    // Last: until here a rerun of an order must know that its ticket was drawn and its export
    // published.
    if (!ctx.journal.empty() && !fs::TryDeleteFile(ctx.journal)) {
        throw fs::RuntimeError(fs::err::kPathFileAccess, "Kill",
                               "Path/File access error: " + ctx.journal);
    }
}

// The profile services read a document they cannot read as one without keys. A request the
// share refuses to hand over would then be answered "Invalid or Unsupported Document Type" and
// deleted, so it is read once before anything else: a failure goes to the error handler and the
// request stays for the next start. A request that is gone by now is no such failure; the cycle
// runs for it as always (its archive copy finds nothing to copy).
void RequireReadable(const std::string& request) {
    try {
        fs::ReadWholeFile(request);
    } catch (const fs::RuntimeError& e) {
        if (e.Number() != fs::err::kFileNotFound) throw;
    }
}

// A request is processed again after any failure that ended the program. Work files an earlier
// run left would carry its errors and items into this run's documents (the dealer error twice,
// ErrCount 2), so the documents start empty. An order whose journal is on disk is left to its
// branch, which finishes it from the work files as its journal says.
void StartWorkFilesAfresh(const RequestContext& ctx) {
    if (fs::FileExists(JournalPath(ctx.requestFile))) return;
    for (const std::string& work : {ctx.answerWork, ctx.exceptionsWork}) {
        if (!fs::TryDeleteFile(work)) {
            throw fs::RuntimeError(fs::err::kPathFileAccess, "Kill",
                                   "Path/File access error: " + work);
        }
    }
}

void RunRequest(RequestContext& ctx) {
    const std::string& request = ctx.requestFile;

    ctx.step = 15;
    RequireReadable(request);
    WriteValue(ctx.timeLog, kTimeSection, "Time Submitted",
               ReadValue(request, "DMSINFO", "TIMESUBMITED", ""));
    ctx.step = 20;
    WriteValue(ctx.timeLog, kTimeSection, "Start Time:", ClockTime());

    // The sender's choice is read but not honoured: single items never become error entries.
    ctx.step = 25;
    ReadTrimmed(request, "POHEADER", "IgnoreExceptions", "X");
    ctx.ignoreExceptions = true;

    ctx.step = 30;
    ctx.splitShipment = UpperCase(ReadTrimmed(request, "POHEADER", "ShipSplt", "N")) == "Y";

    ctx.step = 35;
    StartWorkFilesAfresh(ctx);
    const std::string header = ReadHeaderSection(request);
    WriteSection(ctx.answerWork, kHeader, header);
    WriteSection(ctx.exceptionsWork, kHeader, header);

    ctx.step = 38;
    WriteValue(ctx.exceptionsWork, kHeader, "DocType", "Exception");

    ctx.step = 40;
    gTestFlag = UpperCase(ReadTrimmed(request, kHeader, "TestFlag", ""));

    ctx.step = 41;
    ctx.docType = ReadTrimmed(request, kHeader, "DocType", "");
    const std::string kind = UpperCase(ctx.docType);
    if (kind == "QUERY") {
        ctx.step = 42;
        AnswerStockQuery(ctx);
    } else if (kind == "PO") {
        ctx.step = 290;
        AcknowledgePurchaseOrder(ctx);
    } else {
        ctx.step = 725;
        AddError(ctx.exceptionsWork, "666",
                 "Invalid or Unsupported Document Type: " + ctx.docType);
    }
    if (ctx.leaveAtOnce) return;

    EndOfRequest(ctx);
}

// Tells the user which step failed and ends the program; the request and whatever work files
// exist stay where they are, so the next start processes the request again.
[[noreturn]] void FailRequest(const RequestContext& ctx, const std::exception& failure) {
    const auto* numbered = dynamic_cast<const fs::RuntimeError*>(&failure);
    const std::string description = numbered ? numbered->Description() : failure.what();
    try {
        fs::MsgBox("Error: " + description + " at Line: " + std::to_string(ctx.step) +
                   " in ProcessRequest");
        if (ctx.step >= 900 && ctx.step <= 999) {
            fs::MsgBox("     File = " + ctx.requestFile + "\r\nOutfile = " + ctx.outFile);
        }
    } catch (const std::exception&) {
        // Nothing more can be told; ending the program is what matters now.
    }
    fs::EndProgram(kFailureExitCode);
}

}  // namespace

std::string ArchivePath(const std::string& path) {
    return ReplaceAll(path, "dadari\\zeldist", "dadari\\zelarchive");
}

RequestContext MakeRequestContext(const std::string& lowerCasedRequestFile) {
    RequestContext ctx;
    const std::string& path = lowerCasedRequestFile;
    ctx.requestFile = path;
    // Only the request's own ".req" ending is changed, so a ".req", ".a" or ".b" elsewhere in
    // the path (a host named "srv.acme", a name such as "x.bad.req") cannot send a document to
    // another name or folder; the answer is always the request's name with ".1" appended.
    ctx.answerWork = path + ".a";
    ctx.exceptionsWork = path + ".b";
    ctx.answerFile = path + ".1";
    ctx.exceptionsFile = path + ".2";
    ctx.timeLog = EndsWith(path, ".req") ? path.substr(0, path.size() - 4) + ".log" : path + ".log";
    ctx.outFile = ctx.answerWork;
    ctx.step = 10;
    return ctx;
}

void ProcessRequest(std::string& requestFile) {
    requestFile = LowerCase(requestFile);
    RequestContext ctx = MakeRequestContext(requestFile);
    gCurrentRequest = requestFile;
    try {
        RunRequest(ctx);
    } catch (const std::exception& failure) {
        FailRequest(ctx, failure);
    }
    gCurrentRequest.clear();
}

void AddError(const std::string& documentPath, const std::string& errorCode,
              const std::string& errorMessage) {
    const std::int32_t stored =
        ToInt32(ReadValue(documentPath, "COUNT", "ErrCount", "0"), "AddError");
    const std::int64_t next = std::int64_t{stored} + 1;
    if (next < std::numeric_limits<std::int16_t>::min() ||
        next > std::numeric_limits<std::int16_t>::max()) {
        fs::RaiseClassic(fs::err::kOverflow, "AddError");
    }
    const std::string n = std::to_string(next);

    WriteValue(documentPath, "ERRORINFO", "ErrorCode" + n, "QMR-" + errorCode);
    WriteValue(documentPath, "ERRORINFO", "ErrorMsg" + n, errorMessage);
    WriteValue(documentPath, "COUNT", "ErrCount", n);
    for (const char* key : {"ErrorCodeCount", "ErrorMsgCount"}) {
        const std::int32_t count = ToInt32(ReadValue(documentPath, "COUNT", key, "0"), "AddError");
        if (count == std::numeric_limits<std::int32_t>::max()) {
            fs::RaiseClassic(fs::err::kOverflow, "AddError");
        }
        WriteValue(documentPath, "COUNT", key, std::to_string(count + 1));
    }
}

std::string ReadValue(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& def) {
    return fs::GetProfileString(section, key, def, kValueBuffer, file);
}

std::string ReadTrimmed(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& def) {
    return TrimValue(ReadValue(file, section, key, def));
}

void WriteValue(const std::string& file, const std::string& section, const std::string& key,
                const std::string& value) {
    if (!fs::WriteProfileString(section, key, value, file)) {
        throw fs::RuntimeError(fs::err::kPathFileAccess, "WriteProfileString",
                               "Path/File access error: " + file);
    }
}

std::string ClockTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace zel::processor
