// Observers of a data set: bound controls (grids, memo and picture boxes,
// navigators) hear of moves, edits and structure changes through this.
#pragma once

namespace qvx {

class DataSet;

enum class DataEvent {
    ActiveChanged, // opened or closed
    DataSetChanged, // records added, removed or reloaded: refetch everything
    RecordMoved, // the current record is another one
    RecordChanged, // the current record's values changed (info = field index, -1 for all)
    StateChanged, // browse / edit / insert
    LayoutChanged, // display labels, visibility or alignment changed (info = field index)
    Destroyed, // the data set is going away: drop every pointer to it
};

class DataLink {
public:
    virtual ~DataLink() = default;
    virtual void dataEvent(DataSet &dataSet, DataEvent event, int info) = 0;
};

} // namespace qvx
