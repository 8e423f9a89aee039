#include "SaveParadoxIndexDlg.h"

TSaveParadoxIndexForm::TSaveParadoxIndexForm(TNewTableIndexHost &host, QWidget *parent)
    : TIndexNameDlg(host, QStringLiteral("SaveParadoxIndexForm"), QStringLiteral("Save Index As ..."), parent)
{
    resize(258, 133);
}
