#include "query/item_mapping.h"

#include <utility>

namespace pellquin {

// Fields in declaration order: path name, user name, id, permissions, locks.

TPellquinItem ItemFromEntry(OpenFileEntry entry) {
    return {std::move(entry.pathName), std::move(entry.userName), entry.id, entry.permissions,
            entry.numLocks};
}

TPellquinItem ItemFromReplyRow(ServiceReplyRow row) {
    return {std::move(row.PathName), std::move(row.UserName), row.Id, row.Permissions,
            row.NumLocks};
}

ServiceReplyRow ReplyRowFromItem(const TPellquinItem& item) {
    return {item.PathName, item.UserName, item.Id, item.Permissions, item.NumLocks};
}

}  // namespace pellquin
