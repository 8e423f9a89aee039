#include "IndexFormats.h"

#include "Cdx.h"
#include "Idx.h"
#include "Mdx.h"
#include "Ndx.h"
#include "Ntx.h"

#include <QFileInfo>

namespace qvx::index {

bool kindOfPath(const QString &path, IndexKind &kind)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    static const struct {
        const char *ext;
        IndexKind kind;
    } kinds[] = { { "ndx", IndexKind::Ndx },
                  { "ntx", IndexKind::Ntx },
                  { "mdx", IndexKind::Mdx },
                  { "idx", IndexKind::Idx },
                  { "cdx", IndexKind::Cdx } };
    for (const auto &k : kinds)
        if (ext == QLatin1String(k.ext)) {
            kind = k.kind;
            return true;
        }
    return false;
}

QString extensionOf(IndexKind kind)
{
    switch (kind) {
    case IndexKind::Ndx:
        return QStringLiteral("ndx");
    case IndexKind::Ntx:
        return QStringLiteral("ntx");
    case IndexKind::Mdx:
        return QStringLiteral("mdx");
    case IndexKind::Idx:
        return QStringLiteral("idx");
    case IndexKind::Cdx:
        break;
    }
    return QStringLiteral("cdx");
}

bool holdsManyTags(IndexKind kind)
{
    return kind == IndexKind::Mdx || kind == IndexKind::Cdx;
}

int maxKeyLength(IndexKind kind)
{
    switch (kind) {
    case IndexKind::Ndx:
    case IndexKind::Mdx:
    case IndexKind::Idx:
        return 100;
    case IndexKind::Ntx:
        return 250;
    case IndexKind::Cdx:
        break;
    }
    return 240;
}

int storedKeyLength(IndexKind kind, KeyType type, int length)
{
    switch (type) {
    case KeyType::Numeric:
        return kind == IndexKind::Mdx ? 12 : kind == IndexKind::Ntx ? length : 8;
    case KeyType::Date:
        return 8;
    case KeyType::Logical:
        return 1;
    case KeyType::Character:
        break;
    }
    return length;
}

IndexContents readIndex(IndexKind kind, QByteArrayView bytes, const QString &fileName,
                        const KeyTypeOf &typeOf, bool withKeys)
{
    switch (kind) {
    case IndexKind::Ndx:
        return readNdx(bytes, fileName, typeOf, withKeys);
    case IndexKind::Ntx:
        return readNtx(bytes, fileName, typeOf, withKeys);
    case IndexKind::Mdx:
        return readMdx(bytes, fileName, typeOf, withKeys);
    case IndexKind::Idx:
        return readIdx(bytes, fileName, typeOf, withKeys);
    case IndexKind::Cdx:
        break;
    }
    return readCdx(bytes, fileName, typeOf, withKeys);
}

QByteArray writeIndex(IndexKind kind, const IndexContents &contents, const WriteContext &context,
                      bool compact)
{
    switch (kind) {
    case IndexKind::Ndx:
        return writeNdx(contents, context);
    case IndexKind::Ntx:
        return writeNtx(contents, context);
    case IndexKind::Mdx:
        return writeMdx(contents, context);
    case IndexKind::Idx:
        return writeIdx(contents, context, compact);
    case IndexKind::Cdx:
        break;
    }
    return writeCdx(contents, context);
}

} // namespace qvx::index
