// A one-line entry bound to one field of the current record.
#pragma once

#include "FieldLink.h"

#include <QLineEdit>

namespace qvx::ui {

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link->setDataSource(source); }
    DataSource *dataSource() const { return m_link->dataSource(); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    QString dataField() const { return m_link->dataField(); }
    FieldLink *link() const { return m_link; }

private:
    void load();
    void store(const QString &text);

    FieldLink *m_link;
};

} // namespace qvx::ui
