#include "console/station/station_host.h"

#include <QObject>

#include "api/interface_server.h"
#include "console/station/station_outputs.h"
#include "core/api_settings.h"
#include "core/console_controller.h"
#include "core/link_state.h"
#include "core/status_poll.h"
#include "memory/profile_file.h"

namespace kt6 {

StationHost::StationHost(StationHostContext context)
    : context_(std::move(context)),
      server_(std::make_unique<api::InterfaceServer>(*context_.station)),
      outputs_(std::make_unique<StationOutputs>(StationContext{
          context_.settingsPath, {}, context_.makeLineControl, context_.makeHookLauncher})) {
    QObject::connect(outputs_.get(), &StationOutputs::failed, outputs_.get(),
                     [this](const QString& text) {
                         if (context_.announce) context_.announce(text);
                     });
}

StationHost::~StationHost() = default;

QString StationHost::start(bool serveInterface) {
    outputs_->reload();
    if (!serveInterface) return {};
    const api::ApiSettings settings = api::loadApiSettings(ProfileFile(context_.settingsPath));
    if (!settings.enabled) return {};
    return server_->listen(settings,
                           api::consoleAccess(settings, api::tokenFilePath(context_.settingsPath)));
}

void StationHost::changed() {
    server_->changed();
    ConsoleController& c = context_.controller;
    const LinkState& link = c.linkState();
    if (c.portLost()) {
        outputs_->linkLost();
    } else if (!c.port().IsOpen() || context_.pollHeldBack() || (link.answered() && link.stale())) {
        // Closed, silent, or the poll held back: motion is not known live.
        outputs_->linkOffline();
    } else if (!link.answered()) {
        outputs_->linkOnline();
    } else {
        outputs_->statusSeen(c.poll().movingNow());
    }
}

void StationHost::close() {
    server_->close();
    outputs_->close();
}

quint16 StationHost::port() const {
    return server_->listening() ? server_->port() : 0;
}

}  // namespace kt6
