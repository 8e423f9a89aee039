#include "BaselineScans.h"

#include <QFile>
#include <QXmlStreamReader>

#include <pugixml.hpp>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvxbench {

namespace {

[[noreturn]] void fail(const std::string &path, const std::string &what)
{
    throw std::runtime_error(path + ": " + what);
}

struct Field {
    char type;
    int offset;
    int length;
};

// Reads exactly len bytes unless the file ends; returns how many it read.
std::size_t readFull(int fd, char *data, std::size_t len)
{
    std::size_t done = 0;
    while (done < len) {
        const ssize_t n = ::read(fd, data + done, len - done);
        if (n < 0)
            return done;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return done;
}

std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t(era) * 146097 + std::int64_t(doe) - 719468;
}

inline bool digit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

// What the scan does per live record, so the comparison with a data set that
// turns every field into a QVariant is fair on parsing but not on text:
//   C        trims trailing blanks and adds up every remaining byte (the engine
//            also decodes the code page into UTF-16; this does not)
//   N, F     parses the text (sign, digits, '.') into a scaled 64-bit integer;
//            all blanks is null
//   D        parses YYYYMMDD into a day number (checking month and day ranges);
//            blanks or zeros are null
//   L        maps T/t/Y/y and F/f/N/n to a boolean, anything else is null
//   others   adds up the bytes
// Deleted records ('*') are skipped. The file is read in chunks of whole
// records of about 1 MiB; the record count is the smaller of the header's
// and what the file holds.
ScanResult scanDbfMinimal(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(path, "cannot open");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };

    unsigned char header[32];
    if (readFull(fd, reinterpret_cast<char *>(header), 32) != 32)
        fail(path, "header is cut short");
    const std::uint32_t headerCount
        = header[4] | (header[5] << 8) | (header[6] << 16) | (std::uint32_t(header[7]) << 24);
    const int headerLength = header[8] | (header[9] << 8);
    const int recordLength = header[10] | (header[11] << 8);
    if (headerLength < 33 || recordLength < 1)
        fail(path, "bad header");

    std::vector<char> descriptors(std::size_t(headerLength) - 32);
    if (readFull(fd, descriptors.data(), descriptors.size()) != descriptors.size())
        fail(path, "field descriptors are cut short");
    std::vector<Field> fields;
    int offset = 1;
    for (std::size_t at = 0; at + 32 <= descriptors.size() && descriptors[at] != 0x0D; at += 32) {
        const unsigned char *d = reinterpret_cast<const unsigned char *>(descriptors.data() + at);
        Field f { char(d[11]), offset, d[16] };
        if (f.type == 'C')
            f.length += d[17] << 8;
        offset += f.length;
        fields.push_back(f);
    }
    if (offset != recordLength)
        fail(path, "field lengths do not add up to the record length");

    const off_t fileSize = ::lseek(fd, 0, SEEK_END);
    std::int64_t count = (std::int64_t(fileSize) - headerLength) / recordLength;
    if (count > std::int64_t(headerCount))
        count = headerCount;
    if (::lseek(fd, headerLength, SEEK_SET) != headerLength)
        fail(path, "cannot seek");

    const std::size_t perChunk = std::size_t((1 << 20) / recordLength + 1);
    std::vector<char> chunk(perChunk * std::size_t(recordLength));
    ScanResult r;
    std::uint64_t sum = 0;
    for (std::int64_t done = 0; done < count;) {
        const std::size_t want = std::size_t(std::min<std::int64_t>(count - done, std::int64_t(perChunk)));
        const std::size_t got = readFull(fd, chunk.data(), want * std::size_t(recordLength));
        const std::size_t records = got / std::size_t(recordLength);
        if (records == 0)
            break;
        for (std::size_t i = 0; i < records; ++i) {
            const char *rec = chunk.data() + i * std::size_t(recordLength);
            if (rec[0] == '*')
                continue;
            ++r.rows;
            for (const Field &f : fields) {
                const char *p = rec + f.offset;
                switch (f.type) {
                case 'C': {
                    int n = f.length;
                    while (n > 0 && p[n - 1] == ' ')
                        --n;
                    for (int k = 0; k < n; ++k)
                        sum += static_cast<unsigned char>(p[k]);
                    ++r.values;
                    break;
                }
                case 'N':
                case 'F': {
                    int k = 0;
                    while (k < f.length && p[k] == ' ')
                        ++k;
                    if (k == f.length)
                        break;
                    bool negative = false;
                    if (p[k] == '-' || p[k] == '+')
                        negative = p[k++] == '-';
                    std::int64_t v = 0;
                    int scale = 0;
                    bool point = false;
                    for (; k < f.length && p[k] != ' '; ++k) {
                        if (p[k] == '.') {
                            point = true;
                        } else if (digit(p[k])) {
                            v = v * 10 + (p[k] - '0');
                            scale += point;
                        }
                    }
                    sum += std::uint64_t(negative ? -v : v) + std::uint64_t(scale);
                    ++r.values;
                    break;
                }
                case 'D': {
                    bool ok = f.length == 8;
                    for (int k = 0; ok && k < 8; ++k)
                        ok = digit(p[k]);
                    if (!ok)
                        break;
                    const int y = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
                    const int m = (p[4] - '0') * 10 + (p[5] - '0');
                    const int d = (p[6] - '0') * 10 + (p[7] - '0');
                    if (m < 1 || m > 12 || d < 1 || d > 31)
                        break;
                    sum += std::uint64_t(daysFromCivil(y, m, d));
                    ++r.values;
                    break;
                }
                case 'L':
                    switch (p[0]) {
                    case 'T':
                    case 't':
                    case 'Y':
                    case 'y':
                        sum += 1;
                        ++r.values;
                        break;
                    case 'F':
                    case 'f':
                    case 'N':
                    case 'n':
                        sum += 2;
                        ++r.values;
                        break;
                    default:
                        break;
                    }
                    break;
                default:
                    for (int k = 0; k < f.length; ++k)
                        sum += static_cast<unsigned char>(p[k]);
                    ++r.values;
                }
            }
        }
        done += std::int64_t(records);
        if (got < want * std::size_t(recordLength))
            break;
    }
    r.checksum = sum;
    return r;
}

// Reads the whole file into memory first, as a packet loader does, then walks
// every token; for each start element it reads every attribute's name and
// value (as views, converting nothing).
ScanResult scanXmlBare(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path.toStdString(), file.errorString().toStdString());
    const QByteArray bytes = file.readAll();

    ScanResult r;
    std::uint64_t sum = 0;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"ROW")
            ++r.rows;
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &a : attributes) {
            const QStringView value = a.value();
            sum += std::uint64_t(a.name().size()) + std::uint64_t(value.size());
            if (!value.isEmpty())
                sum += value.front().unicode();
            ++r.values;
        }
    }
    if (xml.hasError())
        fail(path.toStdString(), xml.errorString().toStdString());
    r.checksum = sum;
    return r;
}

ScanResult walkXmlPugi(const char *path)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path);
    if (!parsed)
        fail(path, parsed.description());
    ScanResult r;
    struct Walker : pugi::xml_tree_walker {
        ScanResult *r;
        bool for_each(pugi::xml_node &node) override
        {
            if (node.type() != pugi::node_element || std::strcmp(node.name(), "ROW") != 0)
                return true;
            ++r->rows;
            for (const pugi::xml_attribute &a : node.attributes()) {
                ++r->values;
                for (const char *p = a.value(); *p; ++p)
                    r->checksum += static_cast<unsigned char>(*p);
            }
            return true;
        }
    } walker;
    walker.r = &r;
    doc.traverse(walker);
    return r;
}

namespace {

// The least error handling libjpeg allows: back to the caller's jump point.
// Nothing with a destructor lives in the functions that set one.
struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

JpegError *jpegErrors(JpegError &error)
{
    jpeg_std_error(&error.pub);
    error.pub.error_exit = jpegErrorExit;
    return &error;
}

// Returns false on a libjpeg error; out and outSize are libjpeg's malloc'd
// buffer either way (free() it).
bool encodeRaw(const unsigned char *rgb, int width, int height, unsigned char **out, unsigned long *outSize)
{
    jpeg_compress_struct cinfo {};
    JpegError error;
    cinfo.err = &jpegErrors(error)->pub;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row
            = const_cast<unsigned char *>(rgb) + std::size_t(cinfo.next_scanline) * std::size_t(width) * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Returns false on a libjpeg error; *pixels is malloc'd (free() it).
bool decodeRaw(const unsigned char *jpeg, std::size_t size, int denominator, unsigned char **pixels,
               int *width, int *height)
{
    jpeg_decompress_struct cinfo {};
    JpegError error;
    cinfo.err = &jpegErrors(error)->pub;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denominator);
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * 3;
    *width = int(cinfo.output_width);
    *height = int(cinfo.output_height);
    *pixels = static_cast<unsigned char *>(std::malloc(stride * cinfo.output_height));
    if (!*pixels)
        std::longjmp(error.jump, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = *pixels + std::size_t(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

std::vector<unsigned char> encodeJpegBare(const unsigned char *rgb, int width, int height)
{
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const bool ok = encodeRaw(rgb, width, height, &out, &outSize);
    std::vector<unsigned char> bytes;
    if (ok)
        bytes.assign(out, out + outSize);
    std::free(out);
    if (!ok)
        throw std::runtime_error("libjpeg could not encode the picture");
    return bytes;
}

ScanResult decodeJpegBare(const unsigned char *jpeg, std::size_t size, int denominator)
{
    unsigned char *pixels = nullptr;
    int width = 0, height = 0;
    const bool ok = decodeRaw(jpeg, size, denominator, &pixels, &width, &height);
    ScanResult r;
    if (ok) {
        r.rows = height;
        r.values = std::int64_t(width) * height;
        for (std::size_t i = 0, n = std::size_t(r.values) * 3; i < n; ++i)
            r.checksum += pixels[i];
    }
    std::free(pixels);
    if (!ok)
        throw std::runtime_error("libjpeg could not decode the picture");
    return r;
}

} // namespace qvxbench
