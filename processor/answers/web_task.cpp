#include "processor/answers/web_task.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "processor/request_documents.h"

namespace zel::processor {

namespace fs = zel::platform;

namespace {

constexpr std::string_view kTemporaryEnding = ".tmp";
constexpr std::string_view kFinalEnding = ".txt";

// One line of the export: the tag and the value, ended by CR LF. A CR or LF inside the value
// (the emergency message is typed in a multi-line box) would start a record of its own in the
// business system's reader, so each becomes a blank.
void AppendLine(std::string& out, std::string_view tag, std::string_view value = {}) {
    out.append(tag);
    for (char c : value) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
    out.append("\r\n");
}

// Blanks only, as the business programs trim: a tab is part of the value.
std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void MakeFolderIgnoringFailure(const std::string& path) {
    try {
        fs::MakeDirectory(path);
    } catch (const std::exception&) {
        // Existing already, or a share that does not answer: creating the file will tell.
    }
}

}  // namespace

std::string ExportFolder(const std::string& host) {
    return "\\\\" + host + "\\DadAri\\WebTask\\In";
}

std::string ExportClaimsFolder(const std::string& host) {
    return "\\\\" + host + "\\DadAri\\" + kRequestFolderName;
}

std::string ExportTemporaryPath(const std::string& host, std::int32_t packingSlipNumber) {
    return ExportFolder(host) + "\\" + std::to_string(packingSlipNumber) +
           std::string(kTemporaryEnding);
}

std::optional<std::int32_t> ExportTicketOf(const std::string& name) {
    if (!name.ends_with(kTemporaryEnding)) return std::nullopt;
    const std::string digits = name.substr(0, name.size() - kTemporaryEnding.size());
    // Digits as std::to_string writes a ticket of 1 or more, and nothing else.
    if (digits.empty() || digits.size() > 10 || digits[0] == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return fs::Int32Of(std::stoll(digits));
}

// Only the name's own ending changes: a host or folder whose name holds ".tmp" must not send
// the order to another folder.
std::string ExportFinalPath(const std::string& temporaryPath) {
    std::string_view base = temporaryPath;
    if (base.size() >= kTemporaryEnding.size() &&
        base.substr(base.size() - kTemporaryEnding.size()) == kTemporaryEnding) {
        base.remove_suffix(kTemporaryEnding.size());
    }
    return std::string(base) + std::string(kFinalEnding);
}

void WebTask::AddItem(const std::int32_t& ItemNumber, const std::string& Line,
                      const std::string& Part, const std::int32_t& Quantity,
                      const records::Currency& Price, const std::int16_t& SpecialOrder,
                      const std::int16_t& TradeIn, const std::int16_t& PrePosted,
                      const std::int16_t& NonReplacedSale, const std::int16_t& CostEntered,
                      const std::int16_t& EstimatedCost, const std::int16_t& PriceChanged,
                      const std::int16_t& Warranty, const std::int16_t& ServicePolicy,
                      const std::int16_t& Emergency, const std::int16_t& NonStock,
                      const std::int16_t& ReturnItem, const std::int16_t& Rebate,
                      const std::int16_t& Defect, const std::int16_t& FactoryFreight,
                      const std::int16_t& Taxable, const std::string& Commodity,
                      const std::int32_t& BoQty, const records::Currency& Cost,
                      const std::string& Comment, const std::string& Description) {
    Items.Add(ItemNumber, Line, Part, Quantity, Price, SpecialOrder, TradeIn, PrePosted,
              NonReplacedSale, CostEntered, EstimatedCost, PriceChanged, Warranty, ServicePolicy,
              Emergency, NonStock, ReturnItem, Rebate, Defect, FactoryFreight, Taxable, Commodity,
              BoQty, Cost, Comment, Description, "");
}

std::string WebTask::ExportText() const {
    std::string out;
    AppendLine(out, "***850ZEL");
    AppendLine(out, "H00", std::to_string(Header.PackingSlipNumber));
    AppendLine(out, "H01", std::to_string(Header.BillToAccount));
    AppendLine(out, "H09", Header.PONumber);
    if (Header.DropShip) AppendLine(out, "H2601");
    const std::pair<const char*, const std::string*> shipTo[] = {
        {"H29", &Header.ShipToAddress1},
        {"H30", &Header.ShipToAddress2},
        {"H31", &Header.ShipToAddress3},
        {"H32", &Header.ShipToAddress4},
    };
    for (const auto& [tag, value] : shipTo) {
        const std::string_view trimmed = TrimSpaces(*value);
        if (!trimmed.empty()) AppendLine(out, tag, trimmed);
    }
    AppendLine(out, "H33", std::to_string(Header.ShipToAreaCode));
    AppendLine(out, "H34", std::to_string(Header.ShipToPhone));
    if (Header.SplitShip) AppendLine(out, "H4201");
    AppendLine(out, "H491");
    for (const auto& member : Items) {
        const records::clsItemDetail& line = *member.item;
        AppendLine(out, "D01", std::to_string(line.ItemNumber));
        AppendLine(out, "D02", line.Line);
        if (line.Line == "REM") {
            AppendLine(out, "D06", line.Comment);
        } else {
            AppendLine(out, "D03", line.Part);
            AppendLine(out, "D04", std::to_string(line.Quantity));
        }
    }
    return out;
}

void WebTask::Publish(const std::string& Path,
                      const std::function<void(const std::string& temporary)>& beforeMove,
                      const std::function<std::int32_t()>& numberTaken) {
    MakeFolderIgnoringFailure("\\\\" + Path + "\\DadAri\\WebTask");
    MakeFolderIgnoringFailure(ExportFolder(Path));

    for (;;) {
        const std::string temporary = ExportTemporaryPath(Path, Header.PackingSlipNumber);
        const std::string final = ExportFinalPath(temporary);
        fs::ClaimedNewFile file(temporary, ExportClaimsFolder(Path));
        // Whatever carries either name belongs to another order (in flight, published or left
        // by one that died), or to someone else: it is never removed, replaced or written
        // through, and the number is not this order's.
        std::string taken;
        if (file.Taken()) {
            taken = temporary;
        } else if (fs::NameExists(final)) {
            taken = final;
        }
        if (!taken.empty()) {
            if (!numberTaken)
                throw fs::RuntimeError(fs::err::kFileAlreadyExists, "Name",
                                       "File already exists: " + taken);
            Header.PackingSlipNumber = numberTaken();
            continue;
        }

        const std::string text = ExportText();
        // Written a line at a time, as the file service writes records; the reader never sees
        // the file before it is complete under its final name.
        std::size_t begin = 0;
        while (begin < text.size()) {
            const std::size_t end = text.find('\n', begin) + 1;
            file.Write(std::string_view(text).substr(begin, end - begin));
            begin = end;
        }
        file.Sync();
        // Whoever records the order from here on may rely on the file being there.
        file.Keep();
        if (beforeMove) beforeMove(temporary);
        try {
            file.Publish(final);
        } catch (const fs::RuntimeError& e) {
            if (e.Number() != fs::err::kFileAlreadyExists) throw;
            throw fs::RuntimeError(e.Number(), e.Source(), e.Description() + ": " + final);
        }
        fs::SyncFolder(ExportFolder(Path));
        return;
    }
}

}  // namespace zel::processor
