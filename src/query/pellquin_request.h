#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "query/pellquin_item.h"

namespace pellquin {

constexpr uint8_t REQUEST_QUERY = 1;
constexpr uint8_t REQUEST_CLOSE = 2;

// One check or one close, from the user's path to rows or an error text. A request serves
// exactly one operation. Callers judge the outcome by ErrorText alone: empty means success.
class TPellquinRequest {
public:
    std::string ClientPath;  // the path as the user typed it; never changed by the engine
    std::string Path;        // in: the path; after resolution: below the share, or the local path
    std::string Share;
    // Path below the share as resolution left it (empty for a local path). Kept when a service
    // reply empties Path, so that shown names can take the server's spelling of this part.
    std::string PathBelowShare;
    std::string ServerPath;  // base path in the server's own terms
    // ServerPath as the rows' PathName write it, where the server writes it otherwise (this
    // machine's Samba: "C:\srv\data" for "/srv/data"); empty: ServerPath itself. Set by a
    // successful direct listing; client-relative names replace this text.
    std::string RowsBasePath;
    uint8_t RequestKind = 0;           // REQUEST_QUERY or REQUEST_CLOSE
    uint32_t FileId = 0;               // close only
    std::string Server;                // without leading backslashes; empty for a local path
    std::vector<TPellquinItem> Items;  // owned rows, in arrival order
    std::string ErrorText;
    int32_t ErrorCode = 0;  // platform error code or socket error number
    int32_t IsLocal = 0;
    // The query service was asked and declined the handshake or stayed silent: nothing came
    // from it, and nothing else says so. The desktop program ignores it, as it always has; a
    // script's tool tells it apart from "nothing is open".
    bool ServiceDeclined = false;

    // Drops every row and empties Path and Server; the other fields keep their values.
    void ClearResults();
};

}  // namespace pellquin
