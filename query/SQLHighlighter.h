// Syntax colours for SQL text: keywords, strings, double-quoted table paths
// and comments. It only adds colours over what the text already has, so
// the bold and teal lines a composed statement is written with stay.
#pragma once

#include <QSyntaxHighlighter>

class TSQLHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit TSQLHighlighter(QTextDocument *document);

    // The state a block ends in: inside a /* */ comment or not.
    enum State { Plain = 0, InComment = 1 };

protected:
    void highlightBlock(const QString &text) override;
};
