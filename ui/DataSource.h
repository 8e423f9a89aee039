// The link between a data set and the controls bound to it: it hears the
// data set's events and hands them on as Qt signals, so that any number of
// grids, memos, picture boxes and navigators follow one data set.
#pragma once

#include "engine/DataSet.h"

#include <QObject>

namespace qvx::ui {

class DataSource : public QObject, private qvx::DataLink {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    explicit DataSource(qvx::DataSet *dataSet, QObject *parent = nullptr);
    ~DataSource() override;

    // The data set is not owned; it may be destroyed first.
    void setDataSet(qvx::DataSet *dataSet);
    qvx::DataSet *dataSet() const { return m_dataSet; }
    bool isActive() const { return m_dataSet && m_dataSet->isOpen(); }

signals:
    void dataSetReplaced(); // setDataSet() pointed this at another data set
    void activeChanged();
    void dataSetChanged(); // refetch everything
    void recordMoved();
    void recordChanged(int field); // -1 for all fields
    void stateChanged();
    void layoutChanged(int field);

private:
    void dataEvent(qvx::DataSet &dataSet, qvx::DataEvent event, int info) override;

    qvx::DataSet *m_dataSet = nullptr;
};

} // namespace qvx::ui
