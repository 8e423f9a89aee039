#include "SaveFoxProIndexDlg.h"

#include <QLineEdit>

TSaveFoxProIndexFormDlg::TSaveFoxProIndexFormDlg(TNewTableIndexHost &host, QWidget *parent)
    : TIndexNameDlg(host, QStringLiteral("SaveFoxProIndexFormDlg"), QStringLiteral("Save Index As..."),
                    parent)
{
    setFixedSize(249, 97);
}

bool TSaveFoxProIndexFormDlg::Execute(DBIndexList definition)
{
    EditIndexName->setText(QStringLiteral("<Table>_"));
    return Confirm(std::move(definition));
}
