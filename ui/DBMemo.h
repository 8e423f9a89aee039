// A multi-line text box bound to one field of the current record: it shows
// the field's text and typing in it edits the field (the data set posts it
// when the record is left or posted).
#pragma once

#include "FieldLink.h"

#include <QPlainTextEdit>

namespace qvx::ui {

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link->setDataSource(source); }
    DataSource *dataSource() const { return m_link->dataSource(); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    QString dataField() const { return m_link->dataField(); }
    FieldLink *link() const { return m_link; }

signals:
    void doubleClicked();
    void keyUp(int key);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void load();
    void store();

    FieldLink *m_link;
    bool m_loading = false;
};

} // namespace qvx::ui
