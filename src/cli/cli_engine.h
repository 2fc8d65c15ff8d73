#pragma once

#include <string>

#include "query/mod_pq.h"
#include "query/pellquin_request.h"

namespace pellquin {

// What the commands of pellquin-cli ask of the engine: a check and a close, each answering
// in the request (an empty ErrorText is success). An interface so the commands run in tests
// on a scripted engine.
class CliEngine {
public:
    virtual ~CliEngine() = default;
    virtual void Query(TPellquinRequest& request) = 0;
    virtual void Close(TPellquinRequest& request) = 0;
};

// The engine over the query data module with the chosen mechanism. A service reply cut short
// (ServiceReplyError) becomes the request's ErrorText, so one bad reply fails one operation.
class ModPqCliEngine : public CliEngine {
public:
    ModPqCliEngine(TmodPQ& modPQ, int tryDirect, int tryService)
        : m_modPQ(modPQ), m_tryDirect(tryDirect), m_tryService(tryService) {}
    void Query(TPellquinRequest& request) override;
    void Close(TPellquinRequest& request) override;

private:
    TmodPQ& m_modPQ;
    int m_tryDirect;
    int m_tryService;
};

// The engine's texts use CR LF between lines, as the desktop shows them; a terminal wants LF.
std::string ForTerminal(const std::string& text);

}  // namespace pellquin
