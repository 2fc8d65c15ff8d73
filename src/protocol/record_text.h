#pragma once

#include <string>

#include "platform/wire_text.h"
#include "protocol/service_records.h"

namespace pellquin {

// The records' texts between this program's own text and the wire's code page. The codec
// moves bytes; these are applied on both sides of it: before encoding what goes out, after
// decoding what came in. A text of more than 254 bytes once converted does not fit its field.

ServiceRequestRecord RequestToWire(ServiceRequestRecord record, const WireText& wire);
ServiceRequestRecord RequestFromWire(ServiceRequestRecord record, const WireText& wire);
ServiceReplyHeader ReplyHeaderFromWire(ServiceReplyHeader header, const WireText& wire);
ServiceReplyRow ReplyRowFromWire(ServiceReplyRow row, const WireText& wire);

// `text` in the wire's code page, made to fit a string field: NULs, which would end the text
// early at the receiver, become '?', and a text of more than 254 wire bytes is cut after the
// last whole wire character that fits.
std::string FitWireField(const std::string& text, const WireText& wire);

}  // namespace pellquin
