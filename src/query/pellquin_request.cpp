#include "query/pellquin_request.h"

namespace pellquin {

void TPellquinRequest::ClearResults() {
    Items.clear();
    Path.clear();
    Server.clear();
}

}  // namespace pellquin
