// One line of text with its font, size, style, colour and alignment: the
// page manager's title, header and footer, which the Text Manager edits.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace qvx::output {

struct TextBlock {
    QString text; // one line; a block with empty text is never drawn
    QString fontName; // empty: the font drawn with keeps its family
    int size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor color = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft; // AlignLeft, AlignRight or AlignHCenter

    // font with this block's family (when not empty), size and style.
    QFont applyTo(QFont font) const
    {
        if (!fontName.isEmpty())
            font.setFamily(fontName);
        if (size > 0)
            font.setPointSize(size);
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strikeOut);
        return font;
    }
};

} // namespace qvx::output
