#include "protocol/record_text.h"

#include <algorithm>

namespace pellquin {

ServiceRequestRecord RequestToWire(ServiceRequestRecord record, const WireText& wire) {
    for (std::string* text :
         {&record.Server, &record.Share, &record.Path, &record.UserName, &record.ComputerName}) {
        *text = wire.ToWire(*text);
    }
    return record;
}

ServiceRequestRecord RequestFromWire(ServiceRequestRecord record, const WireText& wire) {
    for (std::string* text :
         {&record.Server, &record.Share, &record.Path, &record.UserName, &record.ComputerName}) {
        *text = wire.FromWire(*text);
    }
    return record;
}

ServiceReplyHeader ReplyHeaderFromWire(ServiceReplyHeader header, const WireText& wire) {
    header.ErrorText = wire.FromWire(header.ErrorText);
    header.BasePath = wire.FromWire(header.BasePath);
    return header;
}

ServiceReplyRow ReplyRowFromWire(ServiceReplyRow row, const WireText& wire) {
    row.PathName = wire.FromWire(row.PathName);
    row.UserName = wire.FromWire(row.UserName);
    return row;
}

std::string FitWireField(const std::string& text, const WireText& wire) {
    std::string bytes = wire.ToWire(text);
    std::replace(bytes.begin(), bytes.end(), '\0', '?');
    if (bytes.size() <= kMaxFieldText) {
        return bytes;
    }
    size_t end = 0;
    for (;;) {
        const size_t length = wire.CharacterLength(bytes.data() + end, bytes.size() - end);
        if (end + length > kMaxFieldText) {
            break;
        }
        end += length;
    }
    bytes.resize(end);
    return bytes;
}

}  // namespace pellquin
