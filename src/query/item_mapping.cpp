#include "query/item_mapping.h"

#include <utility>

namespace pellquin {

TPellquinItem ItemFromEntry(OpenFileEntry entry) {
    TPellquinItem item;
    item.PathName = std::move(entry.pathName);
    item.UserName = std::move(entry.userName);
    item.Id = entry.id;
    item.Permissions = entry.permissions;
    item.NumLocks = entry.numLocks;
    return item;
}

TPellquinItem ItemFromReplyRow(ServiceReplyRow row) {
    TPellquinItem item;
    item.PathName = std::move(row.PathName);
    item.UserName = std::move(row.UserName);
    item.Id = row.Id;
    item.Permissions = row.Permissions;
    item.NumLocks = row.NumLocks;
    return item;
}

ServiceReplyRow ReplyRowFromItem(const TPellquinItem& item) {
    ServiceReplyRow row;
    row.PathName = item.PathName;
    row.UserName = item.UserName;
    row.Id = item.Id;
    row.Permissions = item.Permissions;
    row.NumLocks = item.NumLocks;
    return row;
}

}  // namespace pellquin
