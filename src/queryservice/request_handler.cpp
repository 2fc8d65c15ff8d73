#include "queryservice/request_handler.h"

#include <algorithm>
#include <ctime>

#include "platform/error_codes.h"
#include "protocol/service_codec.h"
#include "query/direct_query.h"
#include "query/item_mapping.h"
#include "query/pellquin_request.h"
#include "query/system_error_text.h"

namespace pellquin {
namespace {

constexpr uint32_t kErrorInvalidParameter = 87;

// A string field holds at most 254 bytes. Row texts longer than that are cut rather than
// refused: the id still names the handle, so the row can still be closed. The cut backs
// off to a UTF-8 character boundary so the text stays readable; embedded NULs, which would
// end the text early on the client, become '?'.
std::string FitField(std::string text) {
    std::replace(text.begin(), text.end(), '\0', '?');
    if (text.size() <= kMaxFieldText) {
        return text;
    }
    size_t end = kMaxFieldText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

std::vector<uint8_t> ErrorReply(const std::string& text) {
    ServiceReplyHeader header;
    header.ErrorText = FitField(text);
    return EncodeReplyHeader(header).bytes;
}

std::string DisplayPath(const ServiceRequestRecord& record) {
    if (record.Server.empty() && record.Share.empty()) {
        return record.Path;
    }
    std::string path = "\\\\" + record.Server + "\\" + record.Share;
    if (!record.Path.empty()) {
        path += "\\" + record.Path;
    }
    return path;
}

std::string KindName(uint8_t kind) {
    if (kind == REQUEST_QUERY) {
        return "query";
    }
    if (kind == REQUEST_CLOSE) {
        return "close";
    }
    return "kind " + std::to_string(kind);
}

}  // namespace

RequestHandler::RequestHandler(std::unique_ptr<NetFileApi> netFiles,
                               std::unique_ptr<SystemInfo> system, HandlerPolicy policy,
                               std::unique_ptr<ServiceLog> log)
    : m_netFiles(std::move(netFiles)),
      m_system(std::move(system)),
      m_policy(std::move(policy)),
      m_log(std::move(log)) {}

std::vector<uint8_t> RequestHandler::Handle(const std::string& peer, const uint8_t* data,
                                            size_t size) {
    ServiceLogEntry entry;
    entry.time = std::time(nullptr);
    entry.peer = peer;

    // A failure whose code has no system text must still reach the client as a failure:
    // the client takes an empty error text for success.
    const auto failureText = [](uint32_t code, const std::string& text) {
        return text.empty() ? "Error " + std::to_string(code) : text;
    };
    const auto refusal = [this, &failureText](uint32_t code) {
        return ErrorReply(failureText(code, SystemErrorText(*m_system, code)));
    };
    const auto finish = [this, &entry](std::string outcome, std::vector<uint8_t> reply) {
        entry.outcome = std::move(outcome);
        if (m_log) {
            m_log->Write(entry);
        }
        return reply;
    };

    ByteReader reader(data, size);
    const ServiceRequestRecord record = DecodeRequestRecord(reader);
    if (!reader.Ok()) {
        entry.kind = "unreadable";
        return finish("refused: " + reader.Error(), refusal(kErrorInvalidParameter));
    }
    entry.user = record.UserName;
    entry.computer = record.ComputerName;
    entry.kind = KindName(record.RequestKind);
    entry.path = DisplayPath(record);

    const auto& allowed = m_policy.allowedClients;
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), peer) == allowed.end()) {
        return finish("refused: client not allowed", refusal(kErrorAccessDenied));
    }
    if (record.RequestKind != REQUEST_QUERY && record.RequestKind != REQUEST_CLOSE) {
        return finish("refused: unknown request kind", refusal(kErrorInvalidParameter));
    }
    if (record.RequestKind == REQUEST_CLOSE && m_policy.refuseClose) {
        return finish("refused: closing is turned off", refusal(kErrorAccessDenied));
    }

    // The record names the server as the client addressed it; the service answers only
    // for its own machine, and its NetFileApi is bound to that machine.
    TPellquinRequest request;
    request.RequestKind = record.RequestKind;
    request.FileId = record.FileId;
    request.Path = record.Path;
    if (record.Server.empty() && record.Share.empty()) {
        request.IsLocal = 1;
    } else {
        request.Server = record.Server;
        request.Share = record.Share;
    }

    if (record.RequestKind == REQUEST_CLOSE) {
        const uint32_t result = CloseDirect(request, *m_netFiles, *m_system);
        if (result != 0) {
            const std::string text = failureText(result, request.ErrorText);
            return finish("failed: " + text, ErrorReply(text));
        }
        return finish("closed id " + std::to_string(record.FileId), ErrorReply(std::string()));
    }

    const bool ok = QueryDirect(request, *m_netFiles, *m_system);
    ServiceReplyHeader header;
    if (!ok) {
        header.ErrorText = FitField(failureText(request.ErrorCode, request.ErrorText));
    }
    // A base path cut short would make the client show wrong relative names.
    if (request.ServerPath.size() > kMaxFieldText) {
        return finish("failed: base path too long", refusal(kErrorFilenameTooLong));
    }
    header.BasePath = request.ServerPath;
    std::vector<ServiceReplyRow> rows;
    rows.reserve(request.Items.size());
    for (const TPellquinItem& item : request.Items) {
        ServiceReplyRow row = ReplyRowFromItem(item);
        row.PathName = FitField(std::move(row.PathName));
        row.UserName = FitField(std::move(row.UserName));
        rows.push_back(std::move(row));
    }
    const std::string outcome =
        ok ? std::to_string(rows.size()) + " rows" : "failed: " + header.ErrorText;
    return finish(outcome, EncodeQueryReply(header, rows).bytes);
}

}  // namespace pellquin
