#include "console/interface_host.h"

#include "api/interface_server.h"
#include "core/api_settings.h"
#include "memory/profile_file.h"

namespace kt6 {

InterfaceHost::InterfaceHost(InterfaceStationContext context)
    : station_(std::move(context)), server_(std::make_unique<api::InterfaceServer>(station_)) {}

InterfaceHost::~InterfaceHost() = default;

QString InterfaceHost::start(const std::filesystem::path& settingsPath) {
    const api::ApiSettings settings = api::loadApiSettings(ProfileFile(settingsPath));
    if (!settings.enabled) return {};
    return server_->listen(settings);
}

void InterfaceHost::replyArrived(const Bytes& reply) {
    station_.replyArrived(reply);
    server_->changed();
}

void InterfaceHost::changed() {
    server_->changed();
}

void InterfaceHost::close() {
    server_->close();
}

quint16 InterfaceHost::port() const {
    return server_->listening() ? server_->port() : 0;
}

}  // namespace kt6
