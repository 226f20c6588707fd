#include "radio/hamlib_models.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <mutex>
#include <tuple>

namespace kt6 {
namespace {

int collectModel(const struct rig_caps* caps, rig_ptr_t data) {
    auto* out = static_cast<std::vector<RigModelInfo>*>(data);
    if (caps) {
        out->push_back(
            {static_cast<int>(caps->rig_model), caps->mfg_name ? caps->mfg_name : "",
             caps->model_name ? caps->model_name : "",
             caps->port_type == RIG_PORT_NETWORK || caps->port_type == RIG_PORT_UDP_NETWORK});
    }
    return 1;  // go on
}

}  // namespace

void prepareHamlib() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Without this every call writes its trace to stderr, thousands of lines a minute.
        rig_set_debug(RIG_DEBUG_NONE);
        rig_load_all_backends();
    });
}

std::vector<RigModelInfo> hamlibRigModels() {
    prepareHamlib();
    std::vector<RigModelInfo> models;
    rig_list_foreach(collectModel, &models);
    std::sort(models.begin(), models.end(), [](const RigModelInfo& a, const RigModelInfo& b) {
        return std::tie(a.manufacturer, a.name, a.model) <
               std::tie(b.manufacturer, b.name, b.model);
    });
    return models;
}

std::string rigModelLabel(const RigModelInfo& info) {
    return info.manufacturer + " " + info.name + " (#" + std::to_string(info.model) + ")";
}

}  // namespace kt6
