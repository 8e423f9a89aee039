// What a control bound to one field of the current record shares: the data
// source, the field name, and a signal whenever the value shown may differ
// (record moved, value changed, data set reopened or replaced). Writing goes
// through write(), which puts the data set into edit state first.
#pragma once

#include "DataSource.h"

#include <QPointer>

#include <functional>
#include <vector>

namespace qvx::ui {

class FieldLink : public QObject {
    Q_OBJECT
public:
    explicit FieldLink(QObject *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    void setDataField(const QString &name);
    QString dataField() const { return m_field; }

    qvx::DataSet *dataSet() const { return m_source ? m_source->dataSet() : nullptr; }
    // The field's position in the open data set, -1 when unbound or unknown.
    int fieldIndex() const;
    bool isBound() const { return fieldIndex() >= 0; }
    // The current record's value; null when unbound or nothing is current.
    QVariant value() const;
    QByteArray bytes() const;
    QString text() const;
    // Puts the data set into edit state and stores the value (throws the
    // engine's error, e.g. for a read-only data set).
    void write(const QVariant &value);
    bool writing() const { return m_writing; }

signals:
    void changed();

private:
    void onRecordChanged(int field);

    QPointer<DataSource> m_source;
    QString m_field;
    std::vector<QMetaObject::Connection> m_connections;
    bool m_writing = false;
};

} // namespace qvx::ui
