// Windows are built in code with their controls named as the program's
// parts are named; this gives a new control its name where it is made.
#pragma once

#include <QString>

namespace qvx::ui {

template<typename T> T *named(T *object, const QString &name)
{
    object->setObjectName(name);
    return object;
}

} // namespace qvx::ui
