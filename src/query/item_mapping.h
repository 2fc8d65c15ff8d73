#pragma once

#include "platform/net_file_api.h"
#include "protocol/service_records.h"
#include "query/pellquin_item.h"

namespace pellquin {

// The one place where an open-file row changes record type. The direct query takes the
// platform's enumeration entries, the service answers with reply rows made from the items of
// its own direct query, and the client turns those rows back into items. Texts are carried
// whole: cutting them to a reply field is the service's decision.
TPellquinItem ItemFromEntry(OpenFileEntry entry);
TPellquinItem ItemFromReplyRow(ServiceReplyRow row);
ServiceReplyRow ReplyRowFromItem(const TPellquinItem& item);

}  // namespace pellquin
