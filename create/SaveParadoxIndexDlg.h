// "Save Index As ...": names a Paradox secondary index and hands the
// definition to the New Table window. Created once; the name typed stays
// for the next use.
#pragma once

#include "create/IndexNameDlg.h"

class TSaveParadoxIndexForm : public TIndexNameDlg {
    Q_OBJECT
public:
    explicit TSaveParadoxIndexForm(TNewTableIndexHost &host, QWidget *parent = nullptr);

    // Shows the dialog; on OK records definition under the name typed and
    // returns true. Cancel records nothing.
    bool Execute(DBIndexList definition) { return Confirm(std::move(definition)); }
};
