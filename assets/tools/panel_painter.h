// Painting of the controller's front panel, the picture the console lays its keys over.
#pragma once

#include <QImage>

namespace kt6::assets {

// The whole 640 x 325 picture, deterministic from run to run so that redrawing it leaves
// the committed file unchanged unless the drawing changed.
QImage paintFrontPanel();

}  // namespace kt6::assets
