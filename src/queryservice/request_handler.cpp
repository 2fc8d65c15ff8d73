#include "queryservice/request_handler.h"

#include <algorithm>
#include <ctime>

#include "platform/error_codes.h"
#include "protocol/record_text.h"
#include "protocol/service_codec.h"
#include "query/direct_query.h"
#include "query/item_mapping.h"
#include "query/pellquin_request.h"
#include "query/system_error_text.h"

namespace pellquin {
namespace {

constexpr uint32_t kErrorInvalidParameter = 87;

// An error text too long for its field is cut after its last whole character.
std::vector<uint8_t> ErrorReply(const std::string& text, const WireText& wire) {
    ServiceReplyHeader header;
    header.ErrorText = FitWireField(text, wire);
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
                               std::unique_ptr<SystemInfo> system,
                               std::unique_ptr<WireText> wireText, HandlerPolicy policy,
                               std::unique_ptr<ServiceLog> log)
    : m_netFiles(std::move(netFiles)),
      m_system(std::move(system)),
      m_wireText(std::move(wireText)),
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
        return ErrorReply(failureText(code, SystemErrorText(*m_system, code)), *m_wireText);
    };
    const auto finish = [this, &entry](std::string outcome, std::vector<uint8_t> reply) {
        entry.outcome = std::move(outcome);
        if (m_log) {
            m_log->Write(entry);
        }
        return reply;
    };

    ByteReader reader(data, size);
    const ServiceRequestRecord wireRecord = DecodeRequestRecord(reader);
    if (!reader.Ok()) {
        entry.kind = "unreadable";
        return finish("refused: " + reader.Error(), refusal(kErrorInvalidParameter));
    }
    const ServiceRequestRecord record = RequestFromWire(wireRecord, *m_wireText);
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
            return finish("failed: " + text, ErrorReply(text, *m_wireText));
        }
        return finish("closed id " + std::to_string(record.FileId),
                      ErrorReply(std::string(), *m_wireText));
    }

    const bool ok = QueryDirect(request, *m_netFiles, *m_system);
    const std::string errorText =
        ok ? std::string() : failureText(request.ErrorCode, request.ErrorText);
    ServiceReplyHeader header;
    header.ErrorText = FitWireField(errorText, *m_wireText);
    // A base path cut short would make the client show wrong relative names.
    header.BasePath = m_wireText->ToWire(request.ServerPath);
    if (header.BasePath.size() > kMaxFieldText) {
        return finish("failed: base path too long", refusal(kErrorFilenameTooLong));
    }
    std::vector<ServiceReplyRow> rows;
    rows.reserve(request.Items.size());
    for (const TPellquinItem& item : request.Items) {
        // Row texts too long for their fields once converted are cut rather than refused: the
        // id still names the handle, so the row can still be closed.
        ServiceReplyRow row = ReplyRowFromItem(item);
        row.PathName = FitWireField(row.PathName, *m_wireText);
        row.UserName = FitWireField(row.UserName, *m_wireText);
        rows.push_back(std::move(row));
    }
    const std::string outcome = ok ? std::to_string(rows.size()) + " rows" : "failed: " + errorText;
    return finish(outcome, EncodeQueryReply(header, rows).bytes);
}

}  // namespace pellquin
