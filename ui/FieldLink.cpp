#include "FieldLink.h"

namespace qvx::ui {

FieldLink::FieldLink(QObject *parent) : QObject(parent) { }

void FieldLink::setDataSource(DataSource *source)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections = {
            connect(source, &DataSource::dataSetReplaced, this, &FieldLink::changed),
            connect(source, &DataSource::activeChanged, this, &FieldLink::changed),
            connect(source, &DataSource::dataSetChanged, this, &FieldLink::changed),
            connect(source, &DataSource::recordMoved, this, &FieldLink::changed),
            connect(source, &DataSource::recordChanged, this, &FieldLink::onRecordChanged),
            connect(source, &DataSource::destroyed, this, &FieldLink::changed),
        };
    }
    emit changed();
}

void FieldLink::setDataField(const QString &name)
{
    m_field = name;
    emit changed();
}

void FieldLink::onRecordChanged(int field)
{
    if (field < 0 || field == fieldIndex())
        emit changed();
}

int FieldLink::fieldIndex() const
{
    const qvx::DataSet *ds = dataSet();
    if (!ds || !ds->isOpen() || m_field.isEmpty())
        return -1;
    return ds->fieldIndex(m_field);
}

QVariant FieldLink::value() const
{
    const int i = fieldIndex();
    if (i < 0)
        return {};
    return dataSet()->value(i);
}

QByteArray FieldLink::bytes() const
{
    const int i = fieldIndex();
    return i < 0 ? QByteArray() : dataSet()->blob(i);
}

QString FieldLink::text() const
{
    const int i = fieldIndex();
    return i < 0 ? QString() : dataSet()->text(i);
}

void FieldLink::write(const QVariant &value)
{
    const int i = fieldIndex();
    if (i < 0)
        return;
    qvx::DataSet *ds = dataSet();
    m_writing = true;
    try {
        if (ds->state() == qvx::DataSet::State::Browse)
            ds->edit();
        ds->setValue(i, value);
    } catch (...) {
        m_writing = false;
        throw;
    }
    m_writing = false;
}

} // namespace qvx::ui
