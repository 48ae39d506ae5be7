#include "HelperSandbox.h"

#include "platform/UnixSocket.h"
#include "protocol/HelperWire.h"

#include <unistd.h>

#include <stdexcept>

namespace kestrova::testing {

InProcessHelper::InProcessHelper(const HelperSandbox& sandbox, MoveOperations& operations,
                                 const std::function<void(HelperConfiguration&)>& adjust) {
    HelperConfiguration configuration;
    configuration.socketPath = sandbox.socketPath();
    configuration.stateFolder = sandbox.sessionFolder();
    configuration.systemRoot = sandbox.layout().systemRoot;
    configuration.sessionHome = sandbox.layout().home;
    configuration.allowedClients = {HelperSandbox::selfExecutable()};
    configuration.allowedUid = ::getuid();
    if (adjust) {
        adjust(configuration);
    }
    auto listener = listenOnUnixSocket(sandbox.socketPath());
    if (!listener) {
        throw std::runtime_error(listener.error().message);
    }
    server_ = std::make_unique<HelperServer>(configuration, std::move(*listener), operations, log_);
    thread_ = std::thread([this] { (void)server_->run(); });
}

InProcessHelper::~InProcessHelper() {
    server_->stop();
    thread_.join();
}

RawHelperClient::RawHelperClient(const HelperEndpoint& endpoint) {
    if (auto connected = connectToVerifiedHelper(endpoint)) {
        socket_ = std::move(*connected);
        // A helper that never answers fails the test instead of hanging it.
        (void)setSocketIoTimeout(socket_.get(), std::chrono::seconds(60));
    }
}

void RawHelperClient::sendBytes(std::string_view bytes) const { (void)sendAll(socket_.get(), bytes); }

Json RawHelperClient::receive() const {
    const auto frame = readFrame(socket_.get());
    if (!frame) {
        return nullptr;
    }
    return Json::parse(*frame);
}

Json RawHelperClient::call(const Json& envelope) const {
    sendBytes(encodeFrame(envelope.dump()));
    return receive();
}

}  // namespace kestrova::testing
