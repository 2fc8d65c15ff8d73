#include "fake_service_exchange.h"

namespace pellquin::test {

bool FakeServiceExchange::QueryThroughService(TPellquinRequest& request) {
    return React(request, true);
}

void FakeServiceExchange::CloseThroughService(TPellquinRequest& request) {
    React(request, false);
}

bool FakeServiceExchange::React(TPellquinRequest& request, bool query) {
    calls.push_back(
        {request.RequestKind, request.Server, request.Share, request.Path, request.FileId});
    switch (reaction) {
        case Reaction::Answer:
            if (query) {
                request.ClearResults();
                request.ServerPath = replyBasePath;
                request.Items = rows;
            }
            request.ErrorText = replyError;
            return false;
        case Reaction::SocketError:
            request.ErrorCode = socketError;
            request.ErrorText = socketText;
            return true;
        case Reaction::Decline:
            return false;
        case Reaction::CutShort:
            throw ServiceReplyError("Connection Closed Gracefully.");
    }
    return false;
}

}  // namespace pellquin::test
