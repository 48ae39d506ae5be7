// What comes back from the helper daemon, on arbitrary bytes: the reply
// frame's envelope, then the result record of the call it answers (or the
// handshake reply). A reply must decode to a record or to an error value,
// never crash; a decoded record must encode and decode back to itself.
#include "protocol/HelperWire.h"
#include "protocol/PrivilegedRecords.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace kestrova;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename ResultRecord>
void decodeResult(std::string_view frame, HelperCall call) {
    if (const auto payload = replyPayload(frame, call)) {
        if (const auto record = decodePrivilegedJson<ResultRecord>(*payload)) {
            const auto again = decodePrivilegedRecord<ResultRecord>(encodePrivilegedRecord(*record));
            require(again.ok() && *again == *record);
        }
    }
    // A bare record, as the result data blob of the call.
    if (const auto record = decodePrivilegedRecord<ResultRecord>(frame)) {
        const auto again = decodePrivilegedRecord<ResultRecord>(encodePrivilegedRecord(*record));
        require(again.ok() && *again == *record);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the call being answered.
    const std::string_view frame(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
        case 0:
            if (const auto payload = replyPayload(frame, HelperCall::handshake)) {
                if (const auto reply = decodeHandshakeReply(*payload)) {
                    require(decodeHandshakeReply(encodeHandshakeReply(*reply)).value() == *reply);
                }
            }
            break;
        case 1:
            decodeResult<PrivilegedQuarantineResult>(frame, HelperCall::quarantine);
            break;
        case 2:
            decodeResult<PrivilegedRestoreResult>(frame, HelperCall::restore);
            break;
        case 3:
            decodeResult<PrivilegedTrashResult>(frame, HelperCall::moveToTrash);
            break;
        case 4:
            decodeResult<PrivilegedTrashRestoreResult>(frame, HelperCall::restoreFromTrash);
            break;
    }
    return 0;
}
