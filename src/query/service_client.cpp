#include "query/service_client.h"

#include <cstdio>
#include <string>

#include "platform/error_codes.h"
#include "protocol/record_text.h"
#include "protocol/service_codec.h"
#include "query/item_mapping.h"
#include "query/system_error_text.h"

namespace pellquin {
namespace {

constexpr const char* kClosedGracefully = "Connection Closed Gracefully.";
constexpr const char* kStreamReadError = "Stream read error";

// Closes the connection on every way out of an exchange, exceptions included.
class ConnectionGuard {
public:
    explicit ConnectionGuard(ServiceTransport& transport) : m_transport(transport) {}
    ~ConnectionGuard() { m_transport.Disconnect(); }
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

private:
    ServiceTransport& m_transport;
};

// This system's default code page; should its converter be missing (a system without iconv's
// modules), UTF-8, which needs none and keeps Linux peers' names.
std::unique_ptr<WireText> DefaultWireText() {
    std::string error;
    std::unique_ptr<WireText> wire = MakeWireText(std::string(), &error);
    return wire ? std::move(wire) : MakeWireText("UTF-8", &error);
}

}  // namespace

ServiceClient::ServiceClient(std::unique_ptr<SystemInfo> system,
                             std::unique_ptr<ServiceTransport> transport, uint16_t port,
                             std::chrono::milliseconds handshakeTimeout,
                             std::chrono::milliseconds replyTimeout,
                             std::chrono::milliseconds replyDeadline)
    : ServiceClient(std::move(system), std::move(transport), DefaultWireText(), port,
                    handshakeTimeout, replyTimeout, replyDeadline) {}

ServiceClient::ServiceClient(std::unique_ptr<SystemInfo> system,
                             std::unique_ptr<ServiceTransport> transport,
                             std::unique_ptr<WireText> wireText, uint16_t port,
                             std::chrono::milliseconds handshakeTimeout,
                             std::chrono::milliseconds replyTimeout,
                             std::chrono::milliseconds replyDeadline)
    : m_system(std::move(system)),
      m_transport(std::move(transport)),
      m_wireText(std::move(wireText)),
      m_port(port),
      m_handshakeTimeout(handshakeTimeout),
      m_replyTimeout(replyTimeout),
      m_replyDeadline(replyDeadline) {}

ServiceClient::Outcome ServiceClient::Exchange(TPellquinRequest& request,
                                               std::vector<uint8_t>& body) {
    ServiceRequestRecord record;
    record.Server = request.Server;
    record.Share = request.Share;
    record.Path = request.Path;
    record.RequestKind = request.RequestKind;
    record.FileId = request.FileId;
    record.UserName = m_system->UserName();
    record.ComputerName = m_system->ComputerName();
    const EncodedRecord encoded =
        EncodeRequestRecord(RequestToWire(std::move(record), *m_wireText));
    if (!encoded.Ok()) {
        // Cutting the text would query or close under a different path than the user's.
        const bool tooLong = encoded.problem == FieldProblem::TooLong;
        request.ErrorCode =
            static_cast<int32_t>(tooLong ? kErrorFilenameTooLong : kErrorInvalidName);
        request.ErrorText = SystemErrorText(*m_system, static_cast<uint32_t>(request.ErrorCode));
        if (request.ErrorText.empty()) {
            // An empty text would read as success to every caller.
            request.ErrorText =
                tooLong ? "The filename or extension is too long"
                        : "The filename, directory name, or volume label syntax is incorrect";
        }
        return Outcome::NotSent;
    }

    ConnectionGuard guard(*m_transport);
    const auto socketError = [&request](const TransportStatus& status) {
        if (status.kind == TransportStatus::Kind::Closed) {
            throw ServiceReplyError(kClosedGracefully);
        }
        char text[64];
        std::snprintf(text, sizeof text, "Socket Error # %d\r\n", status.code);
        request.ErrorCode = status.code;
        request.ErrorText = text + status.message;
        return Outcome::SocketError;
    };

    // An empty server is a local path: the service of this machine answers for it.
    const std::string host = request.Server.empty() ? "localhost" : request.Server;
    TransportStatus status = m_transport->Connect(host, m_port);
    if (status.Ok()) {
        status = m_transport->WriteLine("Request");
    }
    std::string answer;
    if (status.Ok()) {
        status = m_transport->ReadLine(answer, m_handshakeTimeout);
    }
    if (!status.Ok()) {
        return socketError(status);
    }
    if (answer != "OK") {
        request.ServiceDeclined = true;
        return Outcome::Declined;
    }

    // From here on the service has accepted the request: running out of time is its slowness,
    // not a missing service.
    const auto replyFailure = [&](const TransportStatus& failed) {
        if (failed.kind != TransportStatus::Kind::TimedOut) {
            return socketError(failed);
        }
        request.ErrorCode = static_cast<int32_t>(kErrorTimeout);
        request.ErrorText = "The Pellquin service on " + host + " did not answer in time";
        return Outcome::TimedOut;
    };
    const auto deadline = std::chrono::steady_clock::now() + m_replyDeadline;

    status = m_transport->WriteInt32BE(static_cast<int32_t>(kRequestRecordSize));
    if (status.Ok()) {
        status = m_transport->Write(encoded.bytes.data(), encoded.bytes.size());
    }
    if (!status.Ok()) {
        return socketError(status);
    }
    int32_t length = 0;
    status = m_transport->ReadInt32BE(length, m_replyTimeout, deadline);
    if (!status.Ok()) {
        return replyFailure(status);
    }
    // Refused unread: a negative or absurd length is no reply this client could use, and
    // allocating for it would let any peer exhaust memory.
    if (length < 0 || static_cast<uint32_t>(length) > kMaxReplyLength) {
        throw ServiceReplyError(kStreamReadError);
    }
    status = m_transport->ReadExact(body, static_cast<size_t>(length), m_replyTimeout, deadline);
    if (!status.Ok()) {
        return replyFailure(status);
    }
    return Outcome::Reply;
}

bool ServiceClient::QueryThroughService(TPellquinRequest& request) {
    std::vector<uint8_t> body;
    const Outcome outcome = Exchange(request, body);
    if (outcome != Outcome::Reply) {
        return outcome == Outcome::SocketError;
    }
    DecodedQueryReply reply = DecodeQueryReply(body.data(), body.size());
    if (!reply.headerOk) {
        throw ServiceReplyError(kStreamReadError);
    }
    const ServiceReplyHeader header = ReplyHeaderFromWire(std::move(reply.header), *m_wireText);
    request.ClearResults();
    request.ErrorText = header.ErrorText;
    request.ServerPath = header.BasePath;
    for (ServiceReplyRow& row : reply.rows) {
        request.Items.push_back(ItemFromReplyRow(ReplyRowFromWire(std::move(row), *m_wireText)));
    }
    if (!reply.ok) {
        throw ServiceReplyError(kStreamReadError);
    }
    return false;
}

void ServiceClient::CloseThroughService(TPellquinRequest& request) {
    std::vector<uint8_t> body;
    if (Exchange(request, body) != Outcome::Reply) {
        return;
    }
    ByteReader reader(body);
    const ServiceReplyHeader header = DecodeReplyHeader(reader);
    if (!reader.Ok()) {
        throw ServiceReplyError(kStreamReadError);
    }
    request.ErrorText = m_wireText->FromWire(header.ErrorText);
}

}  // namespace pellquin
