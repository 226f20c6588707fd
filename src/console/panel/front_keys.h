#pragma once
// The names the operator and assistive technology know the front-panel keys by.
#include <QString>

namespace kt6 {

// "20m band", "Frequency up", "Power" ...; "Key n" for a code no key carries.
QString keyName(int code);

}  // namespace kt6
