#pragma once
// The names the operator and assistive technology know the front-panel keys by.
#include <QString>

namespace kt6 {

// "20m band", "Frequency up", "Power" ...; "Key n" for a code no key carries.
QString keyName(int code);

// The band a band key (codes 0 to 7) selects, "20m"; empty for any other code.
QString bandOfKey(int code);

}  // namespace kt6
