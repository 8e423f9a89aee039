// A form design file: the controls of a search or result form as laid out
// in a designer, and the statement the form was laid out over, kept as a
// small JSON document so that a design can be saved and loaded again.
//
//   { "format": "quorvex-form-design", "version": 1,
//     "designer": "search" | "result",
//     "statement": [lines], "select": [lines], "from": [lines],
//     "controls": [ { "kind": "Label" | "Edit" | "Memo" | "Image",
//                     "name", "caption", "field",
//                     "left", "top", "width", "height",
//                     "background", "textColor" ("#rrggbb"),
//                     "font", "size", "style" (bold 1, italic 2,
//                     underline 4, strike-out 8), "bordered" } ] }
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace qvx {

struct FormDesignControl {
    QString kind;
    QString name; // unique within the design
    QString caption;
    QString field; // the field it stands for; empty for a caption
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QString background; // "#rrggbb"
    QString textColor; // "#rrggbb"
    QString font;
    int size = 8;
    int style = 0;
    bool bordered = false;
    bool operator==(const FormDesignControl &) const = default;
};

struct FormDesign {
    QString designer; // "search" or "result"
    QStringList statement; // the statement's text, when its lists were gone
    QStringList select; // its SELECT and FROM lines, when they were known
    QStringList from;
    std::vector<FormDesignControl> controls;
    bool operator==(const FormDesign &) const = default;
};

// The document for a design.
QByteArray writeFormDesign(const FormDesign &design);
// Reads a design; throws EngineError naming path and what is wrong (not
// JSON, another format or version, a kind the designer does not place, a
// bound out of range, a bad colour, a name used twice, too much of it).
FormDesign readFormDesign(const QByteArray &bytes, const QString &path);

// Whole files: written atomically; read with a size limit.
void saveFormDesign(const QString &path, const FormDesign &design);
FormDesign loadFormDesign(const QString &path);

} // namespace qvx
