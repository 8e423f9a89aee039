// The program's own pictures, drawn in code so the repository carries no
// image files: the splash picture, the about box picture and the program's
// icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace qvx::app {

QImage splashPicture(); // 272 x 336
QImage aboutPicture(); // 208 x 284
QIcon programIcon(); // the program's mark at the usual icon sizes

} // namespace qvx::app
