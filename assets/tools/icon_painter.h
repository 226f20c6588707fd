// Painting of the application icon: a Yagi antenna seen from above on the controller's dark
// anodised face, with the maker's orange on the driven element.
#pragma once

#include <QImage>

namespace kt6::assets {

// The icon as a transparent square of size pixels; every size is drawn from the same
// geometry, with strokes kept at least a pixel and a half wide so 48 px stays legible.
QImage paintAppIcon(int size);

}  // namespace kt6::assets
