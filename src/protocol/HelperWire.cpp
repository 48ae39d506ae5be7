#include "protocol/HelperWire.h"

#include "platform/UnixSocket.h"

#include <fmt/format.h>
#include <array>

namespace kestrova {

namespace {

constexpr std::array<std::pair<HelperCall, std::string_view>, 6> callNames{{
    {HelperCall::handshake, "handshake"},
    {HelperCall::quarantine, "quarantine"},
    {HelperCall::restore, "restore"},
    {HelperCall::moveToTrash, "moveToTrash"},
    {HelperCall::restoreFromTrash, "restoreFromTrash"},
    {HelperCall::transactionStatus, "transactionStatus"},
}};

}  // namespace

std::string_view callName(HelperCall call) {
    for (const auto& [value, name] : callNames) {
        if (value == call) {
            return name;
        }
    }
    return "unknown";
}

std::optional<HelperCall> helperCallFromName(std::string_view name) {
    for (const auto& [value, known] : callNames) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string encodeFrame(std::string_view payload) {
    const auto size = static_cast<std::uint32_t>(payload.size());
    std::string frame;
    frame.reserve(helperwire::frameHeaderSize + payload.size());
    frame.push_back(static_cast<char>((size >> 24) & 0xFF));
    frame.push_back(static_cast<char>((size >> 16) & 0xFF));
    frame.push_back(static_cast<char>((size >> 8) & 0xFF));
    frame.push_back(static_cast<char>(size & 0xFF));
    frame.append(payload);
    return frame;
}

Status writeFrame(int socketFd, std::string_view payload, std::optional<SocketDeadline> deadline) {
    if (payload.size() > helperwire::maximumFrameSize) {
        return Error{fmt::format("The message of {} bytes is larger than the limit of {} bytes.", payload.size(),
                                 helperwire::maximumFrameSize)};
    }
    return sendAll(socketFd, encodeFrame(payload), deadline);
}

namespace {

FrameError receiveFailure(const Error& error) {
    return FrameError{error.code == socketTimedOutCode ? FrameFailure::timedOut : FrameFailure::io, error.message};
}

}  // namespace

Result<std::string, FrameError> readFrame(int socketFd, std::size_t maximumSize,
                                          std::optional<SocketDeadline> deadline) {
    std::array<char, helperwire::frameHeaderSize> header{};
    const auto headerRead = receiveExactly(socketFd, header.data(), header.size(), deadline);
    if (!headerRead) {
        return receiveFailure(headerRead.error());
    }
    if (*headerRead == 0) {
        return FrameError{FrameFailure::closed, "The connection was closed."};
    }
    if (*headerRead < header.size()) {
        return FrameError{FrameFailure::truncated, "The connection closed in the middle of a message."};
    }
    std::uint32_t size = 0;
    for (const char byte : header) {
        size = (size << 8) | static_cast<std::uint8_t>(byte);
    }
    if (size == 0) {
        return FrameError{FrameFailure::empty, "The message is empty."};
    }
    if (size > maximumSize) {
        return FrameError{
            FrameFailure::tooLarge,
            fmt::format("The message of {} bytes is larger than the limit of {} bytes.", size, maximumSize)};
    }
    std::string payload(size, '\0');
    const auto payloadRead = receiveExactly(socketFd, payload.data(), payload.size(), deadline);
    if (!payloadRead) {
        return receiveFailure(payloadRead.error());
    }
    if (*payloadRead < payload.size()) {
        return FrameError{FrameFailure::truncated, "The connection closed in the middle of a message."};
    }
    return payload;
}

Json callEnvelope(HelperCall call, Json argument) {
    return Json{{"protocol", helperwire::protocolVersion}, {"call", callName(call)}, {"argument", std::move(argument)}};
}

std::string callEnvelopeText(HelperCall call, std::string_view argumentJson) {
    std::string text = "{\"protocol\":" + std::to_string(helperwire::protocolVersion) + ",\"call\":\"";
    text += callName(call);
    text += "\",\"argument\":";
    text += argumentJson;
    text += '}';
    return text;
}

Json replyEnvelope(HelperCall call, Json reply) {
    return Json{{"protocol", helperwire::protocolVersion}, {"call", callName(call)}, {"reply", std::move(reply)}};
}

Json errorEnvelope(std::string_view code, std::string_view message) {
    return Json{{"protocol", helperwire::protocolVersion}, {"error", {{"code", code}, {"message", message}}}};
}

Result<Json> replyPayload(std::string_view frame, HelperCall call) {
    const Json envelope = Json::parse(frame, nullptr, false);
    if (envelope.is_discarded() || !envelope.is_object()) {
        return Error{"KestrovaHelper sent a reply that is not a JSON object."};
    }
    if (const auto error = envelope.find("error"); error != envelope.end()) {
        if (error->is_object()) {
            const auto message = error->find("message");
            if (message != error->end() && message->is_string() && !message->get<std::string>().empty()) {
                return Error{message->get<std::string>()};
            }
        }
        return Error{"KestrovaHelper refused the request."};
    }
    const auto name = envelope.find("call");
    if (name == envelope.end() || !name->is_string() || name->get<std::string>() != callName(call)) {
        return Error{"KestrovaHelper answered a different call."};
    }
    const auto reply = envelope.find("reply");
    if (reply == envelope.end()) {
        return Error{"KestrovaHelper sent a reply without a payload."};
    }
    return *reply;
}

Json encodeHandshakeReply(const HandshakeReply& reply) {
    return Json{{"identity", reply.identity}, {"build", reply.build}};
}

Result<HandshakeReply> decodeHandshakeReply(const Json& payload) {
    try {
        requireObject(payload, "handshake reply");
        return HandshakeReply{requiredField<std::string>(payload, "identity"),
                              requiredField<std::string>(payload, "build")};
    } catch (const DecodingError& error) {
        return Error{error.what()};
    }
}

}  // namespace kestrova
