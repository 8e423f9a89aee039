// A picture box bound to one field of the current record: it shows the
// field's bytes as a picture in any format Qt reads or as a JPEG, drawn at
// its natural size from the top left corner, and nothing when the field
// holds none.
#pragma once

#include "FieldLink.h"

#include <QImage>
#include <QWidget>

namespace qvx::ui {

class DBImage : public QWidget {
    Q_OBJECT
public:
    explicit DBImage(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link->setDataSource(source); }
    DataSource *dataSource() const { return m_link->dataSource(); }
    void setDataField(const QString &name) { m_link->setDataField(name); }
    QString dataField() const { return m_link->dataField(); }
    FieldLink *link() const { return m_link; }

    bool hasPicture() const { return !m_picture.isNull(); }
    QSize pictureSize() const { return m_picture.size(); }
    const QImage &picture() const { return m_picture; }
    // Stores a picture into the bound field (as PNG) through the data set.
    void storePicture(const QImage &picture);

    QSize sizeHint() const override;

signals:
    void pictureChanged();
    void doubleClicked();
    void keyUp(int key);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void load();

    FieldLink *m_link;
    QImage m_picture;
};

} // namespace qvx::ui
