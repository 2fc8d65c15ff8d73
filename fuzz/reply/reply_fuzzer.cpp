// Feeds arbitrary bytes to the service client as everything a query service says: the
// handshake line, the reply length and the reply body. Every input must end in a stored
// reply, a decline, a recorded failure or ServiceReplyError, with bounded memory.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/system_info.h"
#include "platform/wire_text.h"
#include "protocol/service_records.h"
#include "query/service_client.h"
#include "query/service_transport.h"

namespace {

using namespace pellquin;

// A connection whose incoming bytes are the fuzz input; what the client sends is dropped.
// The end of the input is the service closing the connection.
class InputTransport : public ServiceTransport {
public:
    InputTransport(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    TransportStatus Connect(const std::string&, uint16_t) override { return {}; }
    TransportStatus WriteLine(const std::string&) override { return {}; }
    TransportStatus WriteInt32BE(int32_t) override { return {}; }
    TransportStatus Write(const uint8_t*, size_t) override { return {}; }
    void Disconnect() override { m_offset = m_size; }

    TransportStatus ReadLine(std::string& line, std::chrono::milliseconds) override {
        line.clear();
        while (m_offset < m_size && line.size() < 4096) {
            const char c = static_cast<char>(m_data[m_offset++]);
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                return {};
            }
            line += c;
        }
        return line.size() < 4096 ? Closed() : TransportStatus();
    }

    TransportStatus ReadInt32BE(int32_t& value, std::chrono::milliseconds timeout,
                                std::chrono::steady_clock::time_point deadline) override {
        std::vector<uint8_t> bytes;
        const TransportStatus status = ReadExact(bytes, 4, timeout, deadline);
        value = status.Ok()
                    ? static_cast<int32_t>(uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 |
                                           uint32_t(bytes[2]) << 8 | bytes[3])
                    : 0;
        return status;
    }

    TransportStatus ReadExact(std::vector<uint8_t>& data, size_t size, std::chrono::milliseconds,
                              std::chrono::steady_clock::time_point) override {
        // Like the socket, only as much as has arrived is ever held.
        const size_t count = std::min(size, m_size - m_offset);
        data.assign(m_data + m_offset, m_data + m_offset + count);
        m_offset += count;
        return count == size ? TransportStatus() : Closed();
    }

private:
    static TransportStatus Closed() {
        TransportStatus status;
        status.kind = TransportStatus::Kind::Closed;
        return status;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

class Names : public SystemInfo {
public:
    std::string ErrorMessage(uint32_t) override { return std::string(); }
    std::string UserName() override { return "fuzz"; }
    std::string ComputerName() override { return "FUZZ"; }
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The client converts what it reads from the records' code page (the default, Windows-1252) to
// UTF-8, where a field's 254 bytes may take up to three times as many: a text is measured
// back in the field's code page, and must be well-formed UTF-8 (unchanged by a converter
// that replaces every malformed byte).
const WireText& FieldCodePage() {
    static const std::unique_ptr<WireText> wire = [] {
        std::string error;
        return MakeWireText(std::string(), &error);
    }();
    return *wire;
}

const WireText& Utf8() {
    static const std::unique_ptr<WireText> wire = [] {
        std::string error;
        return MakeWireText("UTF-8", &error);
    }();
    return *wire;
}

void CheckText(const std::string& text) {
    Check(FieldCodePage().ToWire(text).size() <= kMaxFieldText &&
          text.find('\0') == std::string::npos);
    Check(Utf8().ToWire(text) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const uint8_t kind : {REQUEST_QUERY, REQUEST_CLOSE}) {
        ServiceClient client(std::make_unique<Names>(),
                             std::make_unique<InputTransport>(data, size));
        TPellquinRequest request;
        request.Server = "fs01";
        request.Share = "data";
        request.Path = "dir\\file.txt";
        request.RequestKind = kind;
        try {
            if (kind == REQUEST_QUERY) {
                client.QueryThroughService(request);
            } else {
                client.CloseThroughService(request);
            }
        } catch (const ServiceReplyError&) {
        }
        // No reply can carry more rows than its bytes hold, nor a text beyond its field.
        Check(request.Items.size() <= size / kReplyRowSize);
        CheckText(request.ErrorText);
        CheckText(request.ServerPath);
        for (const TPellquinItem& item : request.Items) {
            CheckText(item.PathName);
            CheckText(item.UserName);
        }
    }
    return 0;
}
