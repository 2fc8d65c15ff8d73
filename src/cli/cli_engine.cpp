#include "cli/cli_engine.h"

#include "query/service_exchange.h"

namespace pellquin {

void ModPqCliEngine::Query(TPellquinRequest& request) {
    try {
        m_modPQ.QueryOpenFiles(request, m_tryDirect, m_tryService);
    } catch (const ServiceReplyError& failure) {
        request.ClearResults();
        request.ErrorText = failure.what();
    }
}

void ModPqCliEngine::Close(TPellquinRequest& request) {
    try {
        m_modPQ.CloseOpenFile(request, m_tryDirect, m_tryService);
    } catch (const ServiceReplyError& failure) {
        request.ErrorText = failure.what();
    }
}

std::string ForTerminal(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace pellquin
