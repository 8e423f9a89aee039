#include "ChildWindow.h"

#include <QMdiSubWindow>
#include <QWidget>

namespace qvx::ui {

DocumentSource DocumentSource::file(const QString &path)
{
    DocumentSource s;
    s.path = path;
    const qsizetype slash = path.lastIndexOf(u'/');
    s.database = path.left(slash + 1);
    s.table = path.mid(slash + 1);
    return s;
}

DocumentSource DocumentSource::databaseTable(const QString &database, const QString &table)
{
    DocumentSource s;
    s.database = database;
    s.table = table;
    return s;
}

QString ChildWindow::caption() const
{
    return const_cast<ChildWindow *>(this)->widget()->windowTitle();
}

ChildWindow *childWindowOf(QWidget *widget)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(widget))
        widget = sub->widget();
    return dynamic_cast<ChildWindow *>(widget);
}

} // namespace qvx::ui
