// The JPEG decoder on arbitrary bytes, with several decoding options. Every
// picture it gives must have the size the header promises at that scale and
// exactly as many bytes as its size says, and whatever it decodes must encode
// to a JPEG that decodes again to the same size.
#pragma once

#include "fuzz/FuzzTarget.h"

#include "engine/EngineError.h"
#include "engine/image/Jpeg.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace qvx::fuzz {

namespace jpegfuzz {

// Decoding past this many stored pixels costs the fuzzer more time than it
// finds faults; the refusal of pictures over the decoder's own bound is still
// tried, since it must come before any allocation.
constexpr qint64 kMostFuzzedPixels = 1 << 20;
constexpr qint64 kDecoderBound = 100'000'000;

inline int scaled(int size, int denominator)
{
    return (size + denominator - 1) / denominator;
}

inline bool shaped(const jpeg::Picture &p)
{
    return p.width > 0 && p.height > 0 && (p.components == 1 || p.components == 3)
        && p.pixels.size() == qint64(p.width) * p.height * p.components;
}

inline bool fits(const jpeg::Picture &p, const jpeg::Header &h, const jpeg::DecodeOptions &o)
{
    const int components = o.grayscale || h.components == 1 ? 1 : 3;
    return shaped(p) && p.width == scaled(h.width, o.scaleDenominator)
        && p.height == scaled(h.height, o.scaleDenominator) && p.components == components;
}

} // namespace jpegfuzz

inline Fault jpegInput(const std::uint8_t *data, std::size_t size)
{
    using namespace jpegfuzz;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    jpeg::Header header;
    try {
        header = jpeg::readHeader(bytes);
    } catch (const EngineError &) {
        try {
            jpeg::decode(bytes);
        } catch (const EngineError &) {
            return nullptr;
        }
        return "the decoder took a file whose header it refuses";
    }
    if (header.width <= 0 || header.height <= 0 || header.width > 65500 || header.height > 65500)
        return "the header reader gave a size out of range";
    const qint64 pixels = qint64(header.width) * header.height;
    if (pixels > kDecoderBound) {
        try {
            jpeg::decode(bytes);
        } catch (const EngineError &) {
            return nullptr;
        }
        return "a picture over the decoder's bound was decoded";
    }
    if (pixels > kMostFuzzedPixels)
        return nullptr;

    jpeg::DecodeOptions plain;
    jpeg::DecodeOptions half;
    half.scaleDenominator = 2;
    half.grayscale = true;
    jpeg::DecodeOptions quarter;
    quarter.scaleDenominator = 4;
    quarter.quantize = true;
    jpeg::DecodeOptions eighth;
    eighth.scaleDenominator = 8;
    eighth.fastDct = true;
    eighth.fancyUpsampling = false;
    jpeg::DecodeOptions passes;
    passes.quantize = true;
    int passCount = 0;
    bool passesFit = true;
    jpeg::Picture lastPass;
    passes.onPass = [&](const jpeg::Picture &p) {
        ++passCount;
        passesFit = passesFit && fits(p, header, passes);
        lastPass = p;
    };

    jpeg::Picture first;
    for (const jpeg::DecodeOptions *options : { &plain, &half, &quarter, &eighth, &passes }) {
        jpeg::Picture picture;
        try {
            picture = jpeg::decode(bytes, *options);
        } catch (const EngineError &) {
            continue;
        }
        if (!fits(picture, header, *options))
            return "a decoded picture's size or components differ from its header's";
        if (first.isNull())
            first = picture;
        if (options == &passes) {
            if (!passesFit)
                return "a progressive pass's size or components differ from the header's";
            if (header.progressive && passCount == 0)
                return "a progressive file was decoded without showing a pass";
            if (passCount > 0 && lastPass.pixels != picture.pixels)
                return "the last pass shown is not the picture decoded";
        }
    }
    if (first.isNull())
        return nullptr;

    jpeg::EncodeOptions encodeOptions;
    encodeOptions.quality = 1 + int(size % 100);
    encodeOptions.progressive = size % 2 == 1;
    jpeg::Picture again;
    try {
        again = jpeg::decode(jpeg::encode(first, encodeOptions));
    } catch (const EngineError &) {
        return "a decoded picture encodes to a JPEG the decoder refuses";
    }
    if (again.width != first.width || again.height != first.height || again.components != first.components
        || !shaped(again))
        return "a re-encoded picture decodes to another size";
    return nullptr;
}

} // namespace qvx::fuzz
