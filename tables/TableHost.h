// What a table window needs from the frame that holds it: the formatting
// boxes it reads, the status bar it writes and the style buttons it asks to
// update. The main window implements it; tests can supply their own.
#pragma once

#include <QColor>
#include <QString>

class TableHost {
public:
    virtual ~TableHost() = default;

    // Re-reads the selected column's style from the active table window and
    // sets the bold, italic and underline buttons from it.
    virtual void UpdateStyleButtons() = 0;
    // Status bar panel 0, 1 or 2.
    virtual void setStatusText(int panel, const QString &text) = 0;
    // The formatting boxes: font name, size (as typed) and colour, and the
    // colour last chosen in the colour dialog.
    virtual QString fontNameText() const = 0;
    virtual QString fontSizeText() const = 0;
    virtual QColor fontColor() const = 0;
    virtual QColor chosenColor() const = 0;
};
