// A record navigator: first, prior, next, last, insert, delete, edit, post,
// cancel and refresh buttons over a data source, each enabled only while it
// can act on the data set's state.
#pragma once

#include "DataSource.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

class QToolButton;

namespace qvx::ui {

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit DBNavigator(QWidget *parent = nullptr);

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    QToolButton *button(Button b) const { return m_buttons[std::size_t(b)]; }
    // Runs a button's action as a click would (through the error guard).
    void click(Button b);
    // Icon theme name of each button's glyph; a drawn glyph stands in when
    // the theme has none.
    static const char *iconName(Button b);

private:
    void updateButtons();
    void updateButtons(const qvx::DataSet *ds);
    void run(Button b);

    QPointer<DataSource> m_source;
    std::vector<QMetaObject::Connection> m_connections;
    std::array<QToolButton *, ButtonCount> m_buttons {};
};

} // namespace qvx::ui
