// How calls travel over the helper socket: each message is one frame, a
// 4-byte big-endian length followed by that many bytes of UTF-8 JSON. A call
// is an envelope {"protocol", "call", "argument"}; its one reply is
// {"protocol", "call", "reply"} or {"protocol", "error": {"code", "message"}}.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Result.h"
#include "platform/UnixSocket.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

namespace helperwire {
inline constexpr int protocolVersion = 1;
inline constexpr std::size_t frameHeaderSize = 4;
// 256 items with two long paths each fit many times over.
inline constexpr std::size_t maximumFrameSize = 4 * 1024 * 1024;
}  // namespace helperwire

enum class HelperCall { handshake, quarantine, restore, moveToTrash, restoreFromTrash, transactionStatus };

std::string_view callName(HelperCall call);
std::optional<HelperCall> helperCallFromName(std::string_view name);

// Error codes a daemon puts in an error envelope.
namespace helpererror {
inline constexpr std::string_view malformedFrame = "malformedFrame";
inline constexpr std::string_view frameTooLarge = "frameTooLarge";
inline constexpr std::string_view unsupportedProtocol = "unsupportedProtocol";
inline constexpr std::string_view unknownCall = "unknownCall";
inline constexpr std::string_view malformedRequest = "malformedRequest";
inline constexpr std::string_view peerRejected = "peerRejected";
inline constexpr std::string_view tooManyConnections = "tooManyConnections";
}  // namespace helpererror

enum class FrameFailure { closed, truncated, tooLarge, empty, io, timedOut };

struct FrameError {
    FrameFailure failure = FrameFailure::io;
    std::string message;
};

// The bytes of one frame: header, then payload.
std::string encodeFrame(std::string_view payload);
// With a deadline the whole frame must go by then; one that does not fails
// with socketTimedOutCode, and only part of it may have been written.
Status writeFrame(int socketFd, std::string_view payload, std::optional<SocketDeadline> deadline = std::nullopt);
// `closed` only when the stream ends cleanly before a header starts. With a
// deadline the whole frame must have arrived by then (`timedOut`), however
// slowly the peer sends it.
Result<std::string, FrameError> readFrame(int socketFd, std::size_t maximumSize = helperwire::maximumFrameSize,
                                          std::optional<SocketDeadline> deadline = std::nullopt);

Json callEnvelope(HelperCall call, Json argument);
// The same envelope as text around an argument that is JSON text already,
// so a large request is not encoded twice.
std::string callEnvelopeText(HelperCall call, std::string_view argumentJson);
Json replyEnvelope(HelperCall call, Json reply);
Json errorEnvelope(std::string_view code, std::string_view message);

// The payload of a reply to `call`. An error envelope comes back as an error
// carrying the daemon's message; anything else malformed as an error too.
Result<Json> replyPayload(std::string_view frame, HelperCall call);

// The handshake reply payload.
struct HandshakeReply {
    std::string identity;
    std::string build;

    friend bool operator==(const HandshakeReply&, const HandshakeReply&) = default;
};
Json encodeHandshakeReply(const HandshakeReply& reply);
Result<HandshakeReply> decodeHandshakeReply(const Json& payload);

}  // namespace kestrova
