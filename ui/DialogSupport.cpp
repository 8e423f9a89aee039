#include "DialogSupport.h"

#include "Services.h"

#include "engine/EngineError.h"

#include <QApplication>

namespace qvx::ui {

int runDialog(QDialog &dialog)
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    return Services::current().runModal(dialog);
}

int integerOf(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw qvx::EngineError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

} // namespace qvx::ui
