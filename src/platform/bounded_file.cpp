#include "platform/bounded_file.h"

#include <algorithm>

namespace pellquin {

BoundedFileRead UnreadFile(BoundedFileRead::Status status, std::string problem) {
    BoundedFileRead result;
    result.status = status;
    result.problem = std::move(problem);
    return result;
}

BoundedFileRead ReadOpenedFile(uint64_t size, size_t maxBytes, const ReadFunction& read) {
    using Status = BoundedFileRead::Status;
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes) + " bytes";
    if (size > maxBytes) {
        return UnreadFile(Status::Refused, tooLarge);
    }
    BoundedFileRead result;
    result.status = Status::Read;
    result.text.reserve(static_cast<size_t>(size));
    char buffer[8192];
    while (result.text.size() <= maxBytes) {
        const size_t room = std::min(sizeof buffer, maxBytes + 1 - result.text.size());
        std::string problem;
        const int64_t count = read(buffer, room, &problem);
        if (count < 0) {
            return UnreadFile(Status::Failed, problem);
        }
        if (count == 0) {
            return result;
        }
        result.text.append(buffer, static_cast<size_t>(count));
    }
    return UnreadFile(Status::Refused, tooLarge);  // it grew while it was read
}

}  // namespace pellquin
