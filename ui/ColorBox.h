// A drop-down list of colours, each shown with a swatch: the standard
// colours of the palette most programs offer, and the one chosen.
#pragma once

#include <QColor>
#include <QComboBox>

namespace qvx::ui {

class ColorBox : public QComboBox {
    Q_OBJECT
public:
    explicit ColorBox(QWidget *parent = nullptr);

    QColor selectedColor() const;
    // Selects color, adding it to the list when it is not there.
    void setSelectedColor(const QColor &color);

signals:
    void colorChanged(const QColor &color);
};

} // namespace qvx::ui
