#pragma once
// One request's documents and values, as the answers and the cycle share them: the request
// context with its documents in memory, the value reads and writes with the system's buffer
// sizes, the error entries of the exceptions document, and the derived file names.
//
// Documents are INI text with the platform's profile services' semantics. The request is read
// once; the answer and exceptions work files and the time log are held in memory while the
// request is answered (platform/profile_document.h), with exactly the results the services
// would give on the files, and written out whole and atomically where the cycle needs them on
// disk.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/convert.h"
#include "platform/files.h"
#include "platform/profile_document.h"

namespace zel::processor {

// The request logic reads document values with the platform's conversions.
using platform::IsNumeric;
using platform::LeadingNumber;
using platform::LowerCase;
using platform::ParseNumber;
using platform::ReplaceAll;
using platform::RoundHalfEven;
using platform::ToInt16;
using platform::ToInt32;
using platform::TrimValue;
using platform::UpperCase;
using platform::WholeRequestNumber;

// One request on its way through the request cycle (ProcessRequest). The document branches
// ("QUERY", "PO") get it by reference: they read the request (ctx.request) and write the answer
// (ctx.answer), record request-level errors with AddError(ctx.exceptions, ...) and keep `step`
// current so that a failure names the step that failed:
//     ReadValue(ctx.request, "POITEMS1", "PartNumber")
//     WriteValue(ctx.answer, "POITEMS1", "Status", "Available")
//     AddError(ctx.exceptions, "1", "Invalid Dealer Number: ...")
// Every value of one request comes from the one reading of its file, so a request rewritten
// while it is answered never mixes two versions in one answer. The paths below are the files'
// names on disk; the documents are reached only through the members, never by path.
struct RequestContext {
    std::string requestFile;     // full path of the request, lower-cased
    std::string answerWork;      // answer while it is built (".req.a")
    std::string exceptionsWork;  // exceptions document while it is built (".req.b")
    std::string timeLog;         // section "Time" (".log")
    std::string answerFile;      // the finished answer (".req.1")
    std::string exceptionsFile;  // the finished exceptions document (".req.2")

    std::string docType;           // "ZELINFO" "DocType", trimmed, case as sent
    bool ignoreExceptions = true;  // request-level ignore flag; always set
    bool splitShipment = false;    // "POHEADER" "ShipSplt" is "Y"
    std::string testFlag;  // "ZELINFO" "TestFlag", trimmed and upper-cased ("Y": test order)

    int step = 0;         // number of the step running now; shown when it fails
    std::string outFile;  // second path of the failure message for steps 900-999

    // A branch sets this to leave the request at once: no end-of-request handling, so the
    // request and its work files stay for the next pass (the query's pause exit).
    bool leaveAtOnce = false;

    // The documents of the request (see above). `request` is filled at step 15; the others are
    // read from their files (what an interrupted earlier run left) at their first use.
    platform::ProfileReader request;
    platform::ProfileDocument answer;
    platform::ProfileDocument exceptions;
    platform::ProfileDocument log;  // the time log

    // The polling pass's claim on the request, when it holds one: the request is read through
    // it, and only the very file it holds is removed at the end (a new document put under the
    // name meanwhile is left for the next pass).
    platform::FileClaim* requestClaim = nullptr;

    // The order journal of a purchase order (empty for other requests); the end of the request
    // deletes it after everything else.
    std::string journal;
    // Held from just before the request is deleted until the request's end: meanwhile the
    // journal is the only trace of the order, and the start-up of another instance on this
    // folder must leave its clean-up to us.
    platform::FileClaim journalClaim;

    // What the cycle reads back of the work files and answers an earlier run left beside the
    // request (ReadBackLimit), set once the request is read.
    std::size_t readBackLimit = 0;

    // The failure changed what the next run does (an order gave its number up, so its rerun
    // draws another): the next start takes the request up again instead of setting it aside.
    bool rerunDiffers = false;
};

// Bounds of what the cycle reads back of its own files beside a request, far above anything
// it writes there: the time log holds three short lines; an answer or exceptions document
// grows with its request's items (up to kItemCountCut items without a section of their own,
// and a section of a few bytes can take about a kilobyte of answer).
inline constexpr std::size_t kTimeLogLimit = 64u << 10;
std::size_t ReadBackLimit(std::size_t requestBytes);

// The context of a request whose path is already lower-cased: the derived file names, the
// failure path defaulting to the answer work file.
RequestContext MakeRequestContext(const std::string& lowerCasedRequestFile);
// The time log beside a request whose path is already lower-cased (the context's timeLog).
std::string TimeLogPath(const std::string& lowerCasedRequestFile);

// The folders of the request share (\\HOST\DadAri) this program writes into, spelled as
// it makes them.
inline constexpr const char* kRequestFolderName = "zeldist";
inline constexpr const char* kArchiveFolderName = "ZelArchive";
inline constexpr const char* kTestFolderName = "zeltest";

// The archive copy's path of a file of the request folder ("dadari\zeldist" becomes
// "dadari\zelarchive").
std::string ArchivePath(const std::string& path);

// The count of errors an exceptions document's "ErrCount" value `text` stands for: read the
// same whatever the locale, as the system wrote it, rounded (halves to the even neighbour) when
// numeric and within 32 bits, else 0.
inline std::int32_t ErrorCountOf(const std::string& text) {
    const std::optional<double> value = platform::ParseNumber(text);
    return value ? platform::WholeInt32(*value).value_or(0) : 0;
}

// Appends one error to the exceptions document: code "QMR-" + errorCode and the message,
// numbered after the errors already there, and bumps the three counts.
void AddError(platform::ProfileDocument& document, const std::string& errorCode,
              const std::string& errorMessage);

// --- Document values, shared by the branches -------------------------------------------------

// Values are read through a buffer of this size (at most 99 characters arrive), the header
// section through one of 4096.
inline constexpr std::size_t kValueBuffer = 100;
inline constexpr std::size_t kSectionBuffer = 4096;

// One value of a document, cut as the value buffer cuts it.
std::string ReadValue(const platform::ProfileReader& document, const std::string& section,
                      const std::string& key, const std::string& def = "");
std::string ReadValue(const platform::ProfileDocument& document, const std::string& section,
                      const std::string& key, const std::string& def = "");
// The same, trimmed (TrimValue).
std::string ReadTrimmed(const platform::ProfileReader& document, const std::string& section,
                        const std::string& key, const std::string& def = "");
std::string ReadTrimmed(const platform::ProfileDocument& document, const std::string& section,
                        const std::string& key, const std::string& def = "");
// Writes one value of a document. A document that cannot be written raises RuntimeError
// (75), when it is written, so the failure reaches the request's error handler instead of
// leaving a document that silently lacks keys.
void WriteValue(platform::ProfileDocument& document, const std::string& section,
                const std::string& key, const std::string& value);

// Local time as "hh:mm:ss" (24-hour clock).
std::string ClockTime();
// Local time in strftime's `format` ("%Y%m%d": the date as YYYYMMDD).
std::string LocalTimeText(const char* format);

}  // namespace zel::processor
