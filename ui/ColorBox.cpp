#include "ColorBox.h"

#include <QPainter>
#include <QPixmap>

namespace qvx::ui {

namespace {

struct Named {
    const char *name;
    QRgb rgb;
};

const Named standardColors[] = {
    { "Black", 0x000000 },  { "Maroon", 0x800000 },  { "Green", 0x008000 }, { "Olive", 0x808000 },
    { "Navy", 0x000080 },   { "Purple", 0x800080 },  { "Teal", 0x008080 },  { "Gray", 0x808080 },
    { "Silver", 0xC0C0C0 }, { "Red", 0xFF0000 },     { "Lime", 0x00FF00 },  { "Yellow", 0xFFFF00 },
    { "Blue", 0x0000FF },   { "Fuchsia", 0xFF00FF }, { "Aqua", 0x00FFFF },  { "White", 0xFFFFFF },
};

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

ColorBox::ColorBox(QWidget *parent) : QComboBox(parent)
{
    for (const Named &c : standardColors)
        addItem(swatch(QColor(c.rgb)), QLatin1String(c.name), QColor(c.rgb));
    setCurrentIndex(0);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit colorChanged(selectedColor()); });
}

QColor ColorBox::selectedColor() const
{
    const QVariant data = currentData();
    return data.isValid() ? data.value<QColor>() : QColor(Qt::black);
}

void ColorBox::setSelectedColor(const QColor &color)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).value<QColor>() == color) {
            setCurrentIndex(i);
            return;
        }
    }
    addItem(swatch(color), color.name(), color);
    setCurrentIndex(count() - 1);
}

} // namespace qvx::ui
