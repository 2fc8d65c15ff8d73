#pragma once

#include <functional>
#include <string>
#include <vector>

#include "query/service_exchange.h"

namespace pellquin::test {

// A scripted query service. Each call runs the scripted reaction on the request, recording
// what the request looked like when it arrived.
class FakeServiceExchange : public ServiceExchange {
public:
    enum class Reaction { Answer, SocketError, Decline, CutShort };

    Reaction reaction = Reaction::Answer;
    std::vector<TPellquinItem> rows;  // answered to a query
    std::string replyError;           // the reply's error text
    std::string replyBasePath = "D:\\Data\\";
    int32_t socketError = 111;
    std::string socketText = "Socket Error # 111\r\nConnection refused";

    struct Call {
        uint8_t kind;
        std::string server;
        std::string share;
        std::string path;
        uint32_t fileId;
    };
    std::vector<Call> calls;

    bool QueryThroughService(TPellquinRequest& request) override;
    void CloseThroughService(TPellquinRequest& request) override;

private:
    bool React(TPellquinRequest& request, bool query);
};

}  // namespace pellquin::test
