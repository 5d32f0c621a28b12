#include "processor/request_documents.h"

#include <ctime>
#include <limits>

#include "platform/error.h"

namespace zel::processor {

namespace fs = zel::platform;

std::size_t ReadBackLimit(std::size_t requestBytes) {
    constexpr std::size_t kFloor = 16u << 20;
    constexpr std::size_t kPerRequestByte = 256;
    if (requestBytes > (std::numeric_limits<std::size_t>::max() - kFloor) / kPerRequestByte)
        return std::numeric_limits<std::size_t>::max();
    return kFloor + kPerRequestByte * requestBytes;
}

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
    ctx.timeLog = TimeLogPath(path);
    ctx.outFile = ctx.answerWork;
    ctx.answer = fs::ProfileDocument(ctx.answerWork);
    ctx.exceptions = fs::ProfileDocument(ctx.exceptionsWork);
    ctx.log = fs::ProfileDocument(ctx.timeLog);
    ctx.log.ReadOnlyOwnFile(kTimeLogLimit);
    ctx.step = 10;
    return ctx;
}

std::string TimeLogPath(const std::string& lowerCasedRequestFile) {
    const std::string& path = lowerCasedRequestFile;
    return path.ends_with(".req") ? path.substr(0, path.size() - 4) + ".log" : path + ".log";
}

void AddError(fs::ProfileDocument& document, const std::string& errorCode,
              const std::string& errorMessage) {
    const std::int32_t stored = ToInt32(ReadValue(document, "COUNT", "ErrCount", "0"), "AddError");
    const std::int64_t next = std::int64_t{stored} + 1;
    if (next < std::numeric_limits<std::int16_t>::min() ||
        next > std::numeric_limits<std::int16_t>::max()) {
        fs::RaiseClassic(fs::err::kOverflow, "AddError");
    }
    const std::string n = std::to_string(next);

    WriteValue(document, "ERRORINFO", "ErrorCode" + n, "QMR-" + errorCode);
    WriteValue(document, "ERRORINFO", "ErrorMsg" + n, errorMessage);
    WriteValue(document, "COUNT", "ErrCount", n);
    for (const char* key : {"ErrorCodeCount", "ErrorMsgCount"}) {
        const std::int32_t count = ToInt32(ReadValue(document, "COUNT", key, "0"), "AddError");
        if (count == std::numeric_limits<std::int32_t>::max()) {
            fs::RaiseClassic(fs::err::kOverflow, "AddError");
        }
        WriteValue(document, "COUNT", key, std::to_string(count + 1));
    }
}

std::string ReadValue(const fs::ProfileReader& document, const std::string& section,
                      const std::string& key, const std::string& def) {
    return document.GetString(section, key, def, kValueBuffer);
}

std::string ReadValue(const fs::ProfileDocument& document, const std::string& section,
                      const std::string& key, const std::string& def) {
    return document.GetString(section, key, def, kValueBuffer);
}

std::string ReadTrimmed(const fs::ProfileReader& document, const std::string& section,
                        const std::string& key, const std::string& def) {
    return TrimValue(ReadValue(document, section, key, def));
}

std::string ReadTrimmed(const fs::ProfileDocument& document, const std::string& section,
                        const std::string& key, const std::string& def) {
    return TrimValue(ReadValue(document, section, key, def));
}

void WriteValue(fs::ProfileDocument& document, const std::string& section, const std::string& key,
                const std::string& value) {
    document.WriteString(section, key, value);
}

std::string ClockTime() { return LocalTimeText("%H:%M:%S"); }

std::string LocalTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

}  // namespace zel::processor
