#include "FieldTypeFiles.h"

#include "engine/EngineError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString FieldTypeFilePath(const QString &fileName)
{
    const QDir exeDir(QCoreApplication::applicationDirPath());
    const QString beside = exeDir.filePath(QStringLiteral("FieldsType/") + fileName);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed
        = QDir::cleanPath(exeDir.filePath(QStringLiteral("../share/quorvex/FieldsType/") + fileName));
    return QFileInfo::exists(installed) ? installed : beside;
}

QStringList ReadFieldTypeFile(const QString &path)
{
    QFile file(path);
    // A folder of that name opens but reads nothing; it is no list either.
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw qvx::EngineError(QStringLiteral("Cannot open file %1").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw qvx::EngineError(QStringLiteral("Cannot open file %1").arg(path));
    // 8-bit text: each byte is one character.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines << QString::fromLatin1(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << QString::fromLatin1(bytes.mid(start));
    return lines;
}
