// The baselines the engine is measured against: the least work a program can
// do to read the same files, written without the engine.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvxbench {

struct ScanResult {
    std::int64_t rows = 0; // live records (dbf) or ROW elements (XML)
    std::int64_t values = 0; // non-null field values seen
    std::uint64_t checksum = 0; // keeps the work observable
};

// A minimal C scan of a dbf file: big sequential reads, every field of every
// live record parsed into a machine value. Throws std::runtime_error on a
// file it cannot read.
ScanResult scanDbfMinimal(const char *path);

// One QXmlStreamReader pass over a file that visits every attribute of every
// element. Throws std::runtime_error on an unreadable or malformed file.
ScanResult scanXmlBare(const QString &path);

// pugixml's parse of the whole file and a walk over every attribute of every
// ROW element, each value's bytes summed: the reference for the data packet
// reader. Throws std::runtime_error on an unreadable or malformed file.
ScanResult walkXmlPugi(const char *path);

// libjpeg alone, memory to memory: an RGB picture (rows of width * 3 bytes)
// encoded at quality 90 with the library's defaults plus optimized coding.
// Throws std::runtime_error if libjpeg gives up.
std::vector<unsigned char> encodeJpegBare(const unsigned char *rgb, int width, int height);

// libjpeg alone: the JPEG decoded to RGB at 1/denominator of its size into
// one buffer, with the library's defaults (accurate DCT, smooth upsampling).
// rows and values are the decoded height and pixel count, checksum the sum
// of the decoded bytes. Throws std::runtime_error if libjpeg gives up.
ScanResult decodeJpegBare(const unsigned char *jpeg, std::size_t size, int denominator);

} // namespace qvxbench
