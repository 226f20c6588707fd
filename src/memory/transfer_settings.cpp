#include "memory/transfer_settings.h"

namespace kt6 {

TransferSettings readTransferSettings(const ProfileFile& settings) {
    TransferSettings s;
    s.adaptiveWrite = settings.readInt("Transfer", "AdaptiveWrite", 1) != 0;
    return s;
}

}  // namespace kt6
