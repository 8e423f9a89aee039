#include "DataSource.h"

namespace qvx::ui {

DataSource::DataSource(QObject *parent) : QObject(parent) { }

DataSource::DataSource(qvx::DataSet *dataSet, QObject *parent) : QObject(parent)
{
    setDataSet(dataSet);
}

DataSource::~DataSource()
{
    if (m_dataSet)
        m_dataSet->removeLink(this);
}

void DataSource::setDataSet(qvx::DataSet *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->removeLink(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->addLink(this);
    emit dataSetReplaced();
}

void DataSource::dataEvent(qvx::DataSet &, qvx::DataEvent event, int info)
{
    switch (event) {
    case qvx::DataEvent::ActiveChanged:
        emit activeChanged();
        break;
    case qvx::DataEvent::DataSetChanged:
        emit dataSetChanged();
        break;
    case qvx::DataEvent::RecordMoved:
        emit recordMoved();
        break;
    case qvx::DataEvent::RecordChanged:
        emit recordChanged(info);
        break;
    case qvx::DataEvent::StateChanged:
        emit stateChanged();
        break;
    case qvx::DataEvent::LayoutChanged:
        emit layoutChanged(info);
        break;
    case qvx::DataEvent::Destroyed:
        m_dataSet = nullptr; // its link list is going away with it
        emit dataSetReplaced();
        break;
    }
}

} // namespace qvx::ui
