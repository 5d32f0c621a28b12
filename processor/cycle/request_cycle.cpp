#include "processor/cycle/request_cycle.h"

#include <ctime>
#include <exception>
#include <limits>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "processor/answers/order_acknowledgement.h"
#include "processor/answers/order_journal.h"
#include "processor/answers/stock_query.h"
#include "processor/cycle/set_aside.h"
#include "processor/globals.h"
#include "processor/statistics.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr const char* kHeader = "ZELINFO";
constexpr const char* kTimeSection = "Time";
// How the program ends after a failure it cannot handle; the next start takes the request up.
constexpr int kFailureExitCode = 1;

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
std::string ReadHeaderSection(const fs::ProfileReader& request) {
    std::string list = request.GetSection(kHeader, kSectionBuffer);
    if (list.size() + 1 < kSectionBuffer) return list;

    std::vector<std::string> entries = SplitSectionList(list);
    if (!entries.empty()) {
        std::vector<std::string> whole = request.GetSectionLines(kHeader);
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

// Removes a file that must not outlive this step (a work file an earlier run left on disk, whose
// document is in memory; the order journal); failing that, the step fails.
void RemoveLeftFile(const std::string& path) {
    if (!fs::TryDeleteFile(path)) {
        throw fs::RuntimeError(fs::err::kPathFileAccess, "Kill", "Path/File access error: " + path);
    }
}

// A deletion whose failure does not matter: the file is not needed any more either way.
void DeleteIgnoringFailure(const std::string& path) {
    try {
        fs::TryDeleteFile(path);
    } catch (const std::exception&) {
        // See above: nothing depends on the file being gone.
    }
}

// A folder of the request share that someone removed while the program ran is made again as
// start-up makes it (one level, under the name given), so that a write into it goes through.
// Whatever else carries the folder's name (a file, a link, dangling or not) is not ours to
// replace: the write fails as it did. True when the folder is there now.
bool MakeMissingShareFolder(const std::string& target, const char* folderName) {
    const std::string folder = fs::FolderPart(target);
    if (fs::NameExists(folder)) return false;
    try {
        fs::MakeDirectory(fs::JoinPath(fs::FolderPart(folder), folderName));
    } catch (const std::exception&) {
        // Another instance may have made it just now; whether it is there decides.
    }
    return fs::FolderExists(folder);
}

// Runs `write` into the share folder of `target`; when it fails for want of the folder, makes
// the folder and writes once more. Any other failure is the caller's.
template <class Write>
void WriteIntoShareFolder(const std::string& target, const char* folderName, Write write) {
    try {
        write();
        return;
    } catch (const std::exception&) {
        if (!MakeMissingShareFolder(target, folderName)) throw;
    }
    write();
}

// Copies the request into the archive. A request that is gone by now (another program took
// it) has nothing left to archive or delete; any other failure is the caller's.
// Returns false when the request no longer exists. A claimed request is archived as it was
// answered, whatever carries its name by now.
bool ArchiveRequest(const RequestContext& ctx) {
    if (ctx.requestClaim) {
        WriteIntoShareFolder(ctx.outFile, kArchiveFolderName,
                             [&] { fs::WriteCopy(ctx.outFile, ctx.request.Bytes()); });
        return true;
    }
    try {
        WriteIntoShareFolder(ctx.outFile, kArchiveFolderName,
                             [&] { fs::CopyFile(ctx.requestFile, ctx.outFile); });
        return true;
    } catch (const std::exception&) {
        if (fs::ListDirectory(ctx.requestFile).empty()) return false;
        throw;
    }
}

void EndOfRequest(RequestContext& ctx) {
    ctx.step = 725;
    const std::int32_t errCount =
        ToInt32(ReadValue(ctx.exceptions, "COUNT", "ErrCount", "0"), "ProcessRequest");

    ctx.step = 800;
    WriteValue(ctx.log, kTimeSection, "End Time:", ClockTime());

    // The finished document is published straight from memory, whole and forced to disk; the
    // work file it was built in is never needed on disk (one an earlier run left is removed).
    if (errCount == 0) {
        ctx.step = 810;
        DeleteIgnoringFailure(ctx.exceptionsWork);
        ctx.answer.SaveAs(ctx.answerFile);
        if (gState.gLogging) {
            ctx.step = 820;
            const std::string logCopy = ReplaceAll(ctx.timeLog, "zeldist", "zeltest");
            ctx.step = 830;
            try {
                WriteIntoShareFolder(logCopy, kTestFolderName, [&] { ctx.log.SaveAs(logCopy); });
            } catch (const fs::RuntimeError& e) {
                // Whoever reads the message has to know which folder to look at.
                throw fs::RuntimeError(e.Number(), e.Source(), e.Description() + ": " + logCopy);
            }
            ctx.log.Assign(ctx.answer.Bytes());
        }
        ctx.step = 860;
        RemoveLeftFile(ctx.answerWork);
    } else {
        ctx.step = 880;
        DeleteIgnoringFailure(ctx.answerWork);
        ctx.step = 890;
        ctx.exceptions.SaveAs(ctx.exceptionsFile);
        ctx.step = 896;
        RemoveLeftFile(ctx.exceptionsWork);
    }

    bool requestThere = true;
    if (gState.gArchive) {
        ctx.step = 910;
        ctx.step = 915;
        ctx.outFile = ArchivePath(ctx.requestFile);
        ctx.step = 920;
        requestThere = ArchiveRequest(ctx);
        // The time log lives in memory only: its archive copy is made before the request goes,
        // so no end of the program between the two can lose it.
        ctx.step = 940;
        ctx.step = 945;
        ctx.outFile = ArchivePath(ctx.timeLog);
        ctx.step = 950;
        WriteIntoShareFolder(ctx.outFile, kArchiveFolderName, [&] { ctx.log.SaveAs(ctx.outFile); });
    }
    if (!ctx.journal.empty()) ctx.journalClaim = fs::FileClaim(ctx.journal);
    if (requestThere) {
        ctx.step = 930;
        // A new document under the name (a sender reusing it) is left for the next pass.
        if (ctx.requestClaim)
            ctx.requestClaim->DeleteIfCarried();
        else
            fs::DeleteFile(ctx.requestFile);
    }
    ctx.step = 950;
    RemoveLeftFile(ctx.timeLog);
    // Last: until here a rerun of an order must know that its ticket was drawn and its export
    // published.
    if (!ctx.journal.empty()) RemoveLeftFile(ctx.journal);
}

// The request is read once, before anything else. A request the share refuses to hand over
// must not be answered "Invalid or Unsupported Document Type" and deleted as a document without
// keys: the failure goes to the error handler and the request stays for the next start. A
// request that is gone by now is no such failure; the cycle runs for it as always (its archive
// copy finds nothing to copy). A claimed request is read through its claim: a document put
// under the name since the pass met it is not the one claimed.
std::string ReadRequest(const RequestContext& ctx) {
    if (ctx.requestClaim) return ctx.requestClaim->ReadClaimed();
    try {
        return fs::ReadWholeFile(ctx.requestFile);
    } catch (const fs::RuntimeError& e) {
        if (e.Number() != fs::err::kFileNotFound) throw;
    }
    return {};
}

// A request is processed again after any failure that ended the program. Work files an earlier
// run left would carry its errors and items into this run's documents (the dealer error twice,
// ErrCount 2), so the documents start empty. Only an order sealed by its own journal is finished
// from its work files; anyone may write a journal or work files into the folder, and what they
// planted must never reach an answer.
void StartWorkFilesAfresh(const RequestContext& ctx) {
    if (UpperCase(ReadTrimmed(ctx.request, kHeader, "DocType", "")) == "PO" &&
        SealedJournalOnDisk(ctx.requestFile, ctx.request.Bytes()))
        return;
    for (const std::string& work : {ctx.answerWork, ctx.exceptionsWork}) RemoveLeftFile(work);
}

void RunRequest(RequestContext& ctx) {
    ctx.step = 15;
    ctx.request = fs::ProfileReader(ReadRequest(ctx));
    const fs::ProfileReader& request = ctx.request;
    ctx.readBackLimit = ReadBackLimit(request.Bytes().size());
    ctx.answer.ReadOnlyOwnFile(ctx.readBackLimit);
    ctx.exceptions.ReadOnlyOwnFile(ctx.readBackLimit);
    WriteValue(ctx.log, kTimeSection, "Time Submitted",
               ReadValue(request, "DMSINFO", "TIMESUBMITED", ""));
    ctx.step = 20;
    WriteValue(ctx.log, kTimeSection, "Start Time:", ClockTime());

    // The sender's choice is read but not honoured: single items never become error entries.
    ctx.step = 25;
    ReadTrimmed(request, "POHEADER", "IgnoreExceptions", "X");
    ctx.ignoreExceptions = true;

    ctx.step = 30;
    ctx.splitShipment = UpperCase(ReadTrimmed(request, "POHEADER", "ShipSplt", "N")) == "Y";

    ctx.step = 35;
    StartWorkFilesAfresh(ctx);
    const std::string header = ReadHeaderSection(request);
    ctx.answer.WriteSection(kHeader, header);
    ctx.exceptions.WriteSection(kHeader, header);

    ctx.step = 38;
    WriteValue(ctx.exceptions, kHeader, "DocType", "Exception");

    ctx.step = 40;
    ctx.testFlag = UpperCase(ReadTrimmed(request, kHeader, "TestFlag", ""));

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
        AddError(ctx.exceptions, "666", "Invalid or Unsupported Document Type: " + ctx.docType);
    }
    if (ctx.leaveAtOnce) {
        SaveWorkDocuments(ctx);
        return;
    }

    EndOfRequest(ctx);
}

// Tells the user which step failed and ends the program; the request and whatever work files
// exist stay where they are. The next start passes the request over while it is unchanged (a
// failure that recurs at every start must not stop the folder), unless the failure made its
// rerun differ.
[[noreturn]] void FailRequest(const RequestContext& ctx, const std::exception& failure) {
    const auto* numbered = dynamic_cast<const fs::RuntimeError*>(&failure);
    const std::string description = numbered ? numbered->Description() : failure.what();
    if (!ctx.rerunDiffers) SetRequestAside(ctx.requestFile, ctx.step, description);
    try {
        fs::MsgBox("Error: " + description + " at Line: " + std::to_string(ctx.step) +
                   " in ProcessRequest");
        if (ctx.step >= 900 && ctx.step <= 999) {
            fs::MsgBox("     File = " + ctx.requestFile + "\r\nOutfile = " + ctx.outFile);
        }
    } catch (const std::exception&) {
        // Nothing more can be told; ending the program is what matters now.
    }
    try {
        SaveStatistics();
    } catch (const std::exception&) {
        // At worst this request's counts are lost; the program must end all the same.
    }
    fs::EndProgram(kFailureExitCode);
}

}  // namespace

namespace {

void Process(std::string& requestFile, fs::FileClaim* claim) {
    requestFile = LowerCase(requestFile);
    RequestContext ctx = MakeRequestContext(requestFile);
    if (claim && claim->Claimed()) ctx.requestClaim = claim;
    gState.gCurrentRequest = requestFile;
    try {
        BeginStatistics();
        RunRequest(ctx);
        SaveStatistics();
    } catch (const std::exception& failure) {
        FailRequest(ctx, failure);
    }
    gState.gCurrentRequest.clear();
}

}  // namespace

void ProcessRequest(std::string& requestFile) { Process(requestFile, nullptr); }

void ProcessRequest(std::string& requestFile, fs::FileClaim& claim) {
    Process(requestFile, &claim);
}

void SaveWorkDocuments(RequestContext& ctx) {
    ctx.answer.Save();
    ctx.exceptions.Save();
    ctx.log.Save();
}

}  // namespace zel::processor
