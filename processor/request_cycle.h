#pragma once
// The request cycle: one request document in the request folder becomes an answer document
// (the request's name with ".1" appended) or an exceptions document (".2" appended).
//
// Documents are INI text read and written only through the platform's profile services, one
// key per call (whole sections only for the "ZELINFO" header copy).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::processor {

// One request on its way through ProcessRequest. The document branches ("QUERY", "PO") get it
// by reference: they read the request and write the answer work file through the paths here,
// record request-level errors with AddError(ctx.exceptionsWork, ...) and keep `step` current
// so that a failure names the step that failed.
struct RequestContext {
    std::string requestFile;     // full path of the request, lower-cased
    std::string answerWork;      // answer while it is built (".req.a")
    std::string exceptionsWork;  // exceptions document while it is built (".req.b")
    std::string timeLog;         // section "Time" (".log")
    std::string answerFile;      // the finished answer (".req.1")
    std::string exceptionsFile;  // the finished exceptions document (".req.2")

    std::string docType;          // "ZELINFO" "DocType", trimmed, case as sent
    bool ignoreExceptions = true;  // request-level ignore flag; always set
    bool splitShipment = false;    // "POHEADER" "ShipSplt" is "Y"

    int step = 0;         // number of the step running now; shown when it fails
    std::string outFile;  // second path of the failure message for steps 900-999

    // A branch sets this to leave the request at once: no end-of-request handling, so the
    // request and its work files stay for the next pass (the query's pause exit).
    bool leaveAtOnce = false;

    // The order journal of a purchase order (empty for other requests); the end of the request
    // deletes it after everything else.
    std::string journal;
};

// The context of a request whose path is already lower-cased: the derived file names, the
// failure path defaulting to the answer work file.
RequestContext MakeRequestContext(const std::string& lowerCasedRequestFile);

// Processes one request. `requestFile` is lower-cased in place first. Problems of the request
// go into its exceptions document; a failure of the program shows a message box naming the
// failing step and ends the program, leaving the request in the folder for the next start.
void ProcessRequest(std::string& requestFile);

// The archive copy's path of a file of the request folder ("dadari\zeldist" becomes
// "dadari\zelarchive").
std::string ArchivePath(const std::string& path);

// Appends one error to the exceptions document at `documentPath`: code "QMR-" + errorCode and
// the message, numbered after the errors already there, and bumps the three counts.
void AddError(const std::string& documentPath, const std::string& errorCode,
              const std::string& errorMessage);

// --- Document values, shared by the branches -------------------------------------------------

// Values are read through a buffer of this size (at most 99 characters arrive), the header
// section through one of 4096.
inline constexpr std::size_t kValueBuffer = 100;
inline constexpr std::size_t kSectionBuffer = 4096;

// One value of a document, cut as the value buffer cuts it.
std::string ReadValue(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& def = "");
// The same, trimmed (TrimValue).
std::string ReadTrimmed(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& def = "");
// Writes one value of a document. A document that cannot be written raises RuntimeError
// (75, "WriteProfileString"), so the failure reaches the request's error handler instead of
// leaving a document that silently lacks keys.
void WriteValue(const std::string& file, const std::string& section, const std::string& key,
                const std::string& value);

// Removes trailing NUL, tab, line-feed, carriage-return and space characters.
std::string TrimValue(std::string_view value);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
// Every occurrence of `from` replaced by `to`, scanning from the first character, with case.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The numeric value of a document or settings text: blanks around, an optional sign, digits
// with an optional decimal point, an optional exponent. Nothing when the text is not numeric.
std::optional<double> ParseNumber(std::string_view text);
inline bool IsNumeric(std::string_view text) { return ParseNumber(text).has_value(); }
// The number of the same shape at the start of `text` (leading blanks skipped, anything after it
// ignored); 0 when the text does not begin with a number.
double LeadingNumber(std::string_view text);
// Rounds half to even (the business programs' rounding of numbers to whole numbers).
double RoundHalfEven(double value);
// Conversion to a whole number, halves to the even neighbour. Raises RuntimeError 13 (type
// mismatch) when the text is not numeric and 6 (overflow) when it does not fit.
std::int32_t ToInt32(std::string_view text, const std::string& source);
std::int16_t ToInt16(std::string_view text, const std::string& source);

// Local time as "hh:mm:ss" (24-hour clock).
std::string ClockTime();

}  // namespace zel::processor
