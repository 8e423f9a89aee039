// "Save Index As...": names a FoxPro index and hands the definition to the
// New Table window. The name starts as "<Table>_" on every use.
#pragma once

#include "create/IndexNameDlg.h"

class TSaveFoxProIndexFormDlg : public TIndexNameDlg {
    Q_OBJECT
public:
    explicit TSaveFoxProIndexFormDlg(TNewTableIndexHost &host, QWidget *parent = nullptr);

    // Shows the dialog with the name "<Table>_"; on OK records definition
    // under the name typed and returns true. Cancel records nothing.
    bool Execute(DBIndexList definition);
};
