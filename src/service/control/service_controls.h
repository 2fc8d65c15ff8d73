#pragma once

#include <string>

namespace pellquin {

// What the Service Control tab shows: which controls are enabled, the target choice, the
// remote name and the two status labels. The logic owns it; the tab mirrors it.
struct ServiceControls {
    bool cmdConnect = true;
    bool cmdDisconnect = false;
    bool cmdInstall = false;
    bool cmdUninstall = false;
    bool cmdStartService = false;
    bool cmdStopService = false;
    bool cmdViewLog = false;
    bool cmdClearLog = false;
    bool optThisMachine = true;     // enabled
    bool optRemoteMachine = true;   // enabled
    bool txtRemoteMachine = false;  // enabled

    bool thisMachineSelected = true;  // optThisMachine selected, else optRemoteMachine
    std::string remoteName;           // the text of txtRemoteMachine
    std::string lblHost;
    std::string lblStatus;
};

}  // namespace pellquin
