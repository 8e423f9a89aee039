// The find and replace dialogs of the search commands. They stay open beside
// the text being searched (not modal) and ask their owner (a TextSearch) to
// search through their signals.
#pragma once

#include "ui/TextTarget.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget *parent = nullptr);

    QLineEdit *FindEdit;
    QCheckBox *WholeWordBox;
    QCheckBox *MatchCaseBox;
    QRadioButton *UpButton;
    QRadioButton *DownButton;
    QPushButton *FindNextButton;
    QPushButton *CancelButton;

    QString findText() const;
    qvx::ui::FindOptions options() const;

signals:
    void find();
};

class TReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget *parent = nullptr);

    QLineEdit *FindEdit;
    QLineEdit *ReplaceEdit;
    QCheckBox *WholeWordBox;
    QCheckBox *MatchCaseBox;
    QPushButton *FindNextButton;
    QPushButton *ReplaceButton;
    QPushButton *ReplaceAllButton;
    QPushButton *CancelButton;

    QString findText() const;
    QString replaceText() const;
    qvx::ui::FindOptions options() const; // always downwards

signals:
    void find();
    void replace();
    void replaceAll();
};
