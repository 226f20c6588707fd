#include "radio/rig_reading.h"

namespace kt6 {

bool markChanges(RigReading& next, const RigReading* last) {
    next.statusChanged = !last || next.status != last->status || next.error != last->error;
    next.paramsChanged = next.status == RigStatus::Online &&
                         (!last || last->status != RigStatus::Online || next.hz != last->hz ||
                          next.hasFrequency != last->hasFrequency || next.mode != last->mode ||
                          next.vfo != last->vfo);
    const auto onAir = [](const RigReading& r) {
        return r.status == RigStatus::Online && r.transmitting;
    };
    next.transmitChanged = onAir(next) != (last && onAir(*last));
    return next.statusChanged || next.paramsChanged || next.transmitChanged;
}

}  // namespace kt6
