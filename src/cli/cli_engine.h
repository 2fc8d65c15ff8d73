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
// A query service that declined the request or did not answer its handshake leaves no text
// in the engine (the desktop program shows nothing then); here it becomes
// kServiceDeclinedText, so a script never takes it for "nothing is open" or "closed".
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

extern const char kServiceDeclinedText[];

// The exit status of a failed request: 3 when the query service declined it, else 1.
int FailureStatus(const TPellquinRequest& request);

// Texts from servers and services are hostile: shown with their controls escaped, and the
// engine's CR LF line breaks (as the desktop shows them) as a terminal's LF.
std::string ForTerminal(const std::string& text);

}  // namespace pellquin
