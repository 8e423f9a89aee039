// Completion while typing SQL: the word before the cursor (letters, digits,
// "_" and ".") is completed from the table correlation names and the field
// names of the statement being edited, in a pop-up list that Enter or Tab
// takes and Escape closes.
#pragma once

#include <QObject>
#include <QStringList>

class QCompleter;
class QStringListModel;
class QTextEdit;

class TSQLCompleter : public QObject {
    Q_OBJECT
public:
    explicit TSQLCompleter(QTextEdit *edit);

    // Table references ("\"/data/customer.db\" customer") give their
    // correlation names; fields ("customer.CustNo") give themselves and
    // their names after the full stop.
    void setNames(const QStringList &tableReferences, const QStringList &fields);
    QStringList words() const;
    QCompleter *completer() const { return m_completer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString wordBeforeCursor() const;
    void typed();
    void insertCompletion(const QString &completion);

    QTextEdit *m_edit;
    QCompleter *m_completer;
    QStringListModel *m_model;
    bool m_typing = false;
};
