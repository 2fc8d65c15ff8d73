#include "cli/cli_engine.h"

#include "query/service_exchange.h"
#include "query/terminal_text.h"

namespace pellquin {
namespace {

void NameADecline(TPellquinRequest& request) {
    if (request.ErrorText.empty() && request.ServiceDeclined) {
        request.ErrorText = kServiceDeclinedText;
    }
}

}  // namespace

const char kServiceDeclinedText[] =
    "the Pellquin service declined the request or did not answer (nothing was listed or "
    "closed)";

int FailureStatus(const TPellquinRequest& request) {
    return request.ErrorText == kServiceDeclinedText ? 3 : 1;
}

void ModPqCliEngine::Query(TPellquinRequest& request) {
    try {
        m_modPQ.QueryOpenFiles(request, m_tryDirect, m_tryService);
        NameADecline(request);
    } catch (const ServiceReplyError& failure) {
        request.ClearResults();
        request.ErrorText = failure.what();
    }
}

void ModPqCliEngine::Close(TPellquinRequest& request) {
    try {
        m_modPQ.CloseOpenFile(request, m_tryDirect, m_tryService);
        NameADecline(request);
    } catch (const ServiceReplyError& failure) {
        request.ErrorText = failure.what();
    }
}

std::string ForTerminal(const std::string& text) {
    return NeutralisedText(text, TextUse::Message);
}

}  // namespace pellquin
