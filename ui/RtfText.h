// Rich text files: RTF read into a QTextDocument and a QTextDocument written
// as RTF (fonts, sizes, colours, bold, italic, underline, strike-out,
// paragraph alignment, first/left/right indents, bullets, tabs, code pages
// and \u escapes; pictures, objects and \bin data are skipped). Qt has no
// RTF of its own. The reader is lenient, as files from many programs need,
// and bounded: malformed input gives what could be read, never a crash or a
// hang.
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace qvx::ui {

// True when bytes start (after white space) with "{\rtf".
bool looksLikeRtf(const QByteArray &bytes);

// Replaces doc's content with the RTF in bytes (its undo history cleared).
void readRtf(const QByteArray &bytes, QTextDocument &doc);

// The whole document as RTF: ASCII, with \'xx escapes in the code page the
// header names (windows-1252) and \uN escapes (their fallback \'3f) for
// everything beyond it.
QByteArray writeRtf(const QTextDocument &doc);

// A file's bytes as a document: RTF when they are RTF, otherwise plain text
// in UTF-8, or in windows-1252 when the bytes are not valid UTF-8.
void readRichOrPlain(const QByteArray &bytes, QTextDocument &doc);

} // namespace qvx::ui
