// The dBASE, Clipper and FoxPro index file formats behind one switch: which
// kind a file is, how its keys are stored, and reading and writing a whole
// file of any kind.
#pragma once

#include "IndexKeys.h"

#include <QString>

namespace qvx::index {

enum class IndexKind {
    Ndx, // dBASE III single index
    Ntx, // Clipper single index
    Mdx, // dBASE IV multiple index (production or separate)
    Idx, // FoxPro single index, compact or not
    Cdx, // FoxPro compound index (structural or separate)
};

// The kind a file's extension names; false for none of them.
bool kindOfPath(const QString &path, IndexKind &kind);
QString extensionOf(IndexKind kind); // "ndx", ...
bool holdsManyTags(IndexKind kind); // .mdx and .cdx
// The longest key the kind can store.
int maxKeyLength(IndexKind kind);

// The stored key length of a tag of this kind whose expression gives keys
// of type and length (a character key's length, a number's width).
int storedKeyLength(IndexKind kind, KeyType type, int length);

// Reads a whole file of the kind (see the readers in Ndx.h, ...).
IndexContents readIndex(IndexKind kind, QByteArrayView bytes, const QString &fileName,
                        const KeyTypeOf &typeOf, bool withKeys);
// A whole file of the kind. compact: an .idx in the compact form.
QByteArray writeIndex(IndexKind kind, const IndexContents &contents, const WriteContext &context,
                      bool compact = true);

} // namespace qvx::index
