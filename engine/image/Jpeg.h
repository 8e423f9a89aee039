// JPEG pictures through libjpeg: decoding at 1/1, 1/2, 1/4 or 1/8 of the
// size, in colour, grey-scale or colour quantized to 256 entries, with a
// choice of DCT and upsampling, and a look at every pass of a progressive
// file; encoding with a quality and, when asked, progressively. Pixels are
// plain bytes (no Qt Gui here); ui/JpegImage.h turns them into QImages.
//
// Input is outside input: a file that is not a JPEG, is cut short or is
// corrupt gives EngineError with a message for the user, never a crash, and
// decoding stops after a bounded amount of work on a hostile file.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace qvx::jpeg {

// Decoded or to-be-encoded pixels: rows top to bottom, each width *
// components bytes with no padding; components 1 (grey) or 3 (R, G, B).
struct Picture {
    int width = 0;
    int height = 0;
    int components = 3;
    QByteArray pixels;

    bool isNull() const { return width <= 0 || height <= 0; }
};

// What the header says, read without decoding the picture.
struct Header {
    int width = 0;
    int height = 0;
    int components = 0; // as stored: 1, 3 or 4
    bool progressive = false;
};

struct DecodeOptions {
    int scaleDenominator = 1; // 1, 2, 4 or 8; the picture comes out ceil(size / denominator)
    bool grayscale = false; // one component out, whatever is stored
    bool quantize
        = false; // colour reduced to at most 256 colours (the "8-bit" depth), still 3 components out
    bool fastDct = false; // the fast integer DCT instead of the accurate one
    bool fancyUpsampling = true; // smooth chroma upsampling ("Smoothing")
    // Called with the picture so far after each output pass of a progressive
    // file (buffered-image mode); not called for a baseline file. May be empty.
    std::function<void(const Picture &)> onPass;
};

struct EncodeOptions {
    int quality = 90; // 1..100
    bool progressive = false;
};

// True when bytes start like a JPEG file (the SOI marker FF D8 FF).
bool looksLikeJpeg(const QByteArray &bytes);

// The header of a JPEG held in bytes; throws EngineError naming `what` (a
// file name, or "picture") when it is not one.
Header readHeader(const QByteArray &bytes, const QString &what = QStringLiteral("picture"));

// Decodes bytes; throws EngineError naming `what` when they are not a JPEG
// or are damaged beyond what libjpeg can show. A file that is merely cut
// short decodes with the missing rows grey, as viewers show it.
Picture decode(const QByteArray &bytes, const DecodeOptions &options = {},
               const QString &what = QStringLiteral("picture"));

// Encodes a picture (1 or 3 components); throws EngineError for an empty or
// malformed picture.
QByteArray encode(const Picture &picture, const EncodeOptions &options = {});

} // namespace qvx::jpeg
