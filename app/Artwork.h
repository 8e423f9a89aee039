// The program's own pictures, drawn in code so the repository carries no
// image files: the splash picture and the about box picture.
#pragma once

#include <QImage>

namespace qvx::app {

QImage splashPicture(); // 272 x 336
QImage aboutPicture(); // 208 x 284

} // namespace qvx::app
