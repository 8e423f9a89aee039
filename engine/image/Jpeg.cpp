// libjpeg behind the Picture interface. libjpeg reports errors by calling a
// function that must not return, so every call into it runs inside a small
// step function that has set a jump point first and holds nothing that needs
// destroying; the C++ work (allocations, callbacks, exceptions) happens
// between the steps, on state kept outside them.
#include "engine/image/Jpeg.h"

#include "engine/EngineError.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace qvx::jpeg {

namespace {

// Limits on the work a hostile file can ask for.
constexpr qint64 kMostPixels = 100'000'000; // of the decoded picture
constexpr int kMostSide = 65500; // libjpeg's own limit, checked before any allocation
constexpr int kMostScans = 1000; // a real progressive file has a dozen or so
constexpr long kMostWarnings = 10000; // corrupt-data warnings before giving up
// Passes shown to onPass. Each costs a whole output pass, so after this many
// the rest of the file goes into the final one.
constexpr int kMostShownPasses = 64;
// libjpeg's whole-picture buffers (progressive coefficients): a 100-million
// pixel 4:4:4 picture needs 600 MB; beyond this it asks for backing store,
// which it refuses.
constexpr long kMostLibraryMemory = 1L << 30;

enum class Trouble { None, NotJpeg, Damaged, TooLarge, TooManyScans, TooManyWarnings, Encoding };

// libjpeg's error manager with the jump point and what went wrong. The
// library hands its callbacks a pointer to `pub`, which is first.
struct ErrorState {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Trouble trouble;
    char message[JMSG_LENGTH_MAX];
};

ErrorState &stateOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<ErrorState *>(cinfo->err);
}

[[noreturn]] void giveUp(j_common_ptr cinfo, Trouble trouble)
{
    ErrorState &state = stateOf(cinfo);
    state.trouble = trouble;
    std::longjmp(state.jump, 1);
}

[[noreturn]] void onError(j_common_ptr cinfo)
{
    ErrorState &state = stateOf(cinfo);
    state.pub.format_message(cinfo, state.message);
    Trouble trouble = Trouble::Damaged;
    if (!cinfo->is_decompressor)
        trouble = Trouble::Encoding;
    else if (state.pub.msg_code == JERR_NO_SOI)
        trouble = Trouble::NotJpeg;
    else if (state.pub.msg_code == JERR_IMAGE_TOO_BIG || state.pub.msg_code == JERR_NO_BACKING_STORE)
        trouble = Trouble::TooLarge;
    giveUp(cinfo, trouble);
}

// Warnings (level -1) are corrupt data libjpeg worked around, or a file cut
// short; the rest is tracing. Nothing is printed.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (++cinfo->err->num_warnings > kMostWarnings)
        giveUp(cinfo, Trouble::TooManyWarnings);
}

void silence(j_common_ptr) { }

void watchProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMostScans)
        giveUp(cinfo, Trouble::TooManyScans);
}

void installErrorState(ErrorState &state)
{
    jpeg_std_error(&state.pub);
    state.pub.error_exit = onError;
    state.pub.emit_message = onMessage;
    state.pub.output_message = silence;
    state.trouble = Trouble::None;
    state.message[0] = 0;
}

// ---- decoding

// How a row libjpeg delivers becomes a row of the picture.
enum class RowKind {
    Direct, // libjpeg writes the picture's rows itself
    Convert, // through a scratch row: colour-map indices, CMYK, or unusual component counts
};

struct Decoder {
    jpeg_decompress_struct cinfo {};
    ErrorState error {};
    jpeg_progress_mgr progress {};
    const QByteArray *input = nullptr;
    bool wantsPasses = false;
    bool buffered = false; // buffered-image mode: a pass per scan
    bool toGrey = false; // the picture has one component
    RowKind rowKind = RowKind::Direct;
    unsigned char *out = nullptr; // the picture's pixels for the pass under way
    int passesShown = 0;
    bool inputComplete = false;

    Decoder()
    {
        installErrorState(error);
        cinfo.err = &error.pub;
        progress.progress_monitor = watchProgress;
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo); }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
};

enum class DecodeStep { Header, Dimensions, Start, Pass };

// One libjpeg pixel (or colour-map entry) of n components as grey or RGB.
// Four components are inverted CMYK, as libjpeg delivers Adobe files; two
// or more than four carry no known colour, so the first is shown as grey.
inline void putPixel(const unsigned char *px, int n, bool toGrey, unsigned char *out)
{
    unsigned r, g, b;
    if (n == 3) {
        r = px[0];
        g = px[1];
        b = px[2];
    } else if (n == 4) {
        r = (px[0] * px[3] + 127) / 255;
        g = (px[1] * px[3] + 127) / 255;
        b = (px[2] * px[3] + 127) / 255;
    } else {
        r = g = b = px[0];
    }
    if (toGrey) {
        out[0] = static_cast<unsigned char>((r * 19595 + g * 38470 + b * 7471 + 32768) >> 16);
    } else {
        out[0] = static_cast<unsigned char>(r);
        out[1] = static_cast<unsigned char>(g);
        out[2] = static_cast<unsigned char>(b);
    }
}

void convertRow(const jpeg_decompress_struct &cinfo, bool toGrey, const JSAMPLE *in, unsigned char *out)
{
    const int n = cinfo.out_color_components;
    const int step = toGrey ? 1 : 3;
    const JDIMENSION width = cinfo.output_width;
    unsigned char px[MAX_COMPONENTS];
    for (JDIMENSION x = 0; x < width; ++x, out += step) {
        if (cinfo.quantize_colors) {
            const int index = in[x];
            for (int c = 0; c < n; ++c)
                px[c] = cinfo.colormap[c][index];
            putPixel(px, n, toGrey, out);
        } else {
            putPixel(in + std::size_t(x) * std::size_t(n), n, toGrey, out);
        }
    }
}

// Reads one output pass into d->out. In buffered-image mode the pass shows
// the scans read so far; past the shown-pass limit it first takes in the
// rest of the file so that this pass is the last.
void readPass(Decoder *d)
{
    jpeg_decompress_struct &cinfo = d->cinfo;
    if (d->buffered) {
        if (d->passesShown >= kMostShownPasses) {
            while (!jpeg_input_complete(&cinfo)) {
                if (jpeg_consume_input(&cinfo) == JPEG_SUSPENDED)
                    break;
                watchProgress(reinterpret_cast<j_common_ptr>(&cinfo));
            }
        }
        // Otherwise every pass keeps the colours chosen for the first,
        // blurred one.
        if (cinfo.quantize_colors)
            cinfo.colormap = nullptr;
        jpeg_start_output(&cinfo, cinfo.input_scan_number);
    }
    const std::size_t stride = std::size_t(cinfo.output_width) * (d->toGrey ? 1 : 3);
    JSAMPARRAY scratch = nullptr;
    const int chunk = cinfo.rec_outbuf_height > 0 ? cinfo.rec_outbuf_height : 1;
    if (d->rowKind == RowKind::Convert) {
        const JDIMENSION scratchWidth
            = cinfo.output_width * JDIMENSION(cinfo.quantize_colors ? 1 : cinfo.out_color_components);
        scratch = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                             scratchWidth, JDIMENSION(chunk));
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        JSAMPROW rows[16];
        JDIMENSION wanted = JDIMENSION(chunk < 16 ? chunk : 16);
        if (wanted > cinfo.output_height - first)
            wanted = cinfo.output_height - first;
        JDIMENSION got = 0;
        if (d->rowKind == RowKind::Direct) {
            for (JDIMENSION i = 0; i < wanted; ++i)
                rows[i] = d->out + std::size_t(first + i) * stride;
            got = jpeg_read_scanlines(&cinfo, rows, wanted);
        } else {
            got = jpeg_read_scanlines(&cinfo, scratch, wanted);
            for (JDIMENSION i = 0; i < got; ++i)
                convertRow(cinfo, d->toGrey, scratch[i], d->out + std::size_t(first + i) * stride);
        }
        if (got == 0) {
            // Only a suspending source stops short; a memory source never
            // does, but a picture with rows left unwritten must not show
            // whatever memory held.
            std::memset(d->out + std::size_t(first) * stride, 128,
                        std::size_t(cinfo.output_height - first) * stride);
            break;
        }
    }
    if (d->buffered) {
        jpeg_finish_output(&cinfo);
        watchProgress(reinterpret_cast<j_common_ptr>(&cinfo));
        d->inputComplete = jpeg_input_complete(&cinfo);
    } else {
        d->inputComplete = true;
    }
}

// Runs one step of decoding; false when libjpeg gave up (d->error says why).
bool runDecodeStep(Decoder *d, DecodeStep step)
{
    if (setjmp(d->error.jump))
        return false;
    switch (step) {
    case DecodeStep::Header:
        jpeg_create_decompress(&d->cinfo);
        d->cinfo.mem->max_memory_to_use = kMostLibraryMemory;
        d->cinfo.progress = &d->progress;
        jpeg_mem_src(&d->cinfo, reinterpret_cast<const unsigned char *>(d->input->constData()),
                     static_cast<unsigned long>(d->input->size()));
        jpeg_read_header(&d->cinfo, TRUE);
        break;
    case DecodeStep::Dimensions:
        d->buffered = d->wantsPasses && jpeg_has_multiple_scans(&d->cinfo);
        d->cinfo.buffered_image = d->buffered ? TRUE : FALSE;
        jpeg_calc_output_dimensions(&d->cinfo);
        break;
    case DecodeStep::Start:
        jpeg_start_decompress(&d->cinfo);
        break;
    case DecodeStep::Pass:
        readPass(d);
        break;
    }
    return true;
}

[[noreturn]] void throwTrouble(const ErrorState &error, const QString &what, qint64 width = 0,
                               qint64 height = 0)
{
    const QString message = QString::fromLocal8Bit(error.message);
    switch (error.trouble) {
    case Trouble::NotJpeg:
        throw EngineError(QStringLiteral("%1 is not a JPEG file").arg(what));
    case Trouble::TooLarge:
        if (width > 0 && height > 0)
            throw EngineError(
                QStringLiteral("%1 is too large to decode: %2 x %3 pixels").arg(what).arg(width).arg(height));
        throw EngineError(QStringLiteral("%1 is too large to decode: %2").arg(what, message));
    case Trouble::TooManyScans:
        throw EngineError(QStringLiteral("%1 is damaged: more than %2 scans").arg(what).arg(kMostScans));
    case Trouble::TooManyWarnings:
        throw EngineError(QStringLiteral("%1 is damaged: too many errors in its data").arg(what));
    case Trouble::Encoding:
        throw EngineError(QStringLiteral("Cannot encode %1: %2").arg(what, message));
    case Trouble::None:
    case Trouble::Damaged:
        break;
    }
    throw EngineError(QStringLiteral("%1 is damaged: %2").arg(what, message));
}

void readHeaderInto(Decoder &d, const QByteArray &bytes, const QString &what)
{
    if (bytes.isEmpty())
        throw EngineError(QStringLiteral("%1 is empty").arg(what));
    if (!looksLikeJpeg(bytes))
        throw EngineError(QStringLiteral("%1 is not a JPEG file").arg(what));
    d.input = &bytes;
    if (!runDecodeStep(&d, DecodeStep::Header))
        throwTrouble(d.error, what);
    if (d.cinfo.image_width > JDIMENSION(kMostSide) || d.cinfo.image_height > JDIMENSION(kMostSide))
        throw EngineError(QStringLiteral("%1 is too large to decode: %2 x %3 pixels")
                              .arg(what)
                              .arg(d.cinfo.image_width)
                              .arg(d.cinfo.image_height));
}

} // namespace

bool looksLikeJpeg(const QByteArray &bytes)
{
    return bytes.size() >= 3 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xD8
        && quint8(bytes[2]) == 0xFF;
}

Header readHeader(const QByteArray &bytes, const QString &what)
{
    Decoder d;
    readHeaderInto(d, bytes, what);
    Header header;
    header.width = int(d.cinfo.image_width);
    header.height = int(d.cinfo.image_height);
    header.components = d.cinfo.num_components;
    header.progressive = d.cinfo.progressive_mode;
    return header;
}

Picture decode(const QByteArray &bytes, const DecodeOptions &options, const QString &what)
{
    Decoder d;
    readHeaderInto(d, bytes, what);
    jpeg_decompress_struct &cinfo = d.cinfo;

    const int stored = cinfo.num_components;
    d.toGrey = options.grayscale || stored == 1;
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo.out_color_space = d.toGrey ? JCS_GRAYSCALE : JCS_RGB;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;
        break;
    default:
        cinfo.out_color_space = JCS_UNKNOWN;
        break;
    }
    const int denominator = options.scaleDenominator;
    if (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8)
        throw EngineError(QStringLiteral("Cannot decode %1 at 1/%2 of its size").arg(what).arg(denominator));
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denominator);
    cinfo.dct_method = options.fastDct ? JDCT_IFAST : JDCT_ISLOW;
    cinfo.do_fancy_upsampling = options.fancyUpsampling ? TRUE : FALSE;
    // A grey picture has no more than 256 colours to begin with.
    if (options.quantize && !d.toGrey) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 256;
        cinfo.two_pass_quantize = TRUE;
    }
    d.wantsPasses = bool(options.onPass);

    if (!runDecodeStep(&d, DecodeStep::Dimensions))
        throwTrouble(d.error, what, cinfo.image_width, cinfo.image_height);
    const qint64 width = cinfo.output_width;
    const qint64 height = cinfo.output_height;
    if (width * height > kMostPixels)
        throw EngineError(
            QStringLiteral("%1 is too large to decode: %2 x %3 pixels").arg(what).arg(width).arg(height));

    const int components = d.toGrey ? 1 : 3;
    const bool direct = !cinfo.quantize_colors && cinfo.out_color_components == components;
    d.rowKind = direct ? RowKind::Direct : RowKind::Convert;

    if (!runDecodeStep(&d, DecodeStep::Start))
        throwTrouble(d.error, what, cinfo.image_width, cinfo.image_height);

    Picture picture;
    picture.width = int(width);
    picture.height = int(height);
    picture.components = components;
    picture.pixels = QByteArray(qsizetype(width * height * components), Qt::Uninitialized);
    while (!d.inputComplete) {
        // data() detaches: a picture onPass kept keeps the pixels it was shown.
        d.out = reinterpret_cast<unsigned char *>(picture.pixels.data());
        if (!runDecodeStep(&d, DecodeStep::Pass))
            throwTrouble(d.error, what, cinfo.image_width, cinfo.image_height);
        ++d.passesShown;
        if (d.buffered)
            options.onPass(picture);
    }
    return picture;
}

// ---- encoding

namespace {

// A growing malloc'd buffer as libjpeg's destination: freed by its owner
// whether or not the encoding finished, and never a C++ allocation that could
// throw through libjpeg.
struct Destination {
    jpeg_destination_mgr pub;
    unsigned char *data;
    std::size_t capacity;
    std::size_t size;
};

Destination &destinationOf(j_compress_ptr cinfo)
{
    return *reinterpret_cast<Destination *>(cinfo->dest);
}

void startDestination(j_compress_ptr cinfo)
{
    Destination &dest = destinationOf(cinfo);
    if (!dest.data) {
        dest.capacity = 64 * 1024;
        dest.data = static_cast<unsigned char *>(std::malloc(dest.capacity));
        if (!dest.data)
            ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    dest.pub.next_output_byte = dest.data;
    dest.pub.free_in_buffer = dest.capacity;
}

boolean growDestination(j_compress_ptr cinfo)
{
    Destination &dest = destinationOf(cinfo);
    const std::size_t used = dest.capacity;
    void *grown = std::realloc(dest.data, dest.capacity * 2);
    if (!grown)
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    dest.data = static_cast<unsigned char *>(grown);
    dest.capacity *= 2;
    dest.pub.next_output_byte = dest.data + used;
    dest.pub.free_in_buffer = dest.capacity - used;
    return TRUE;
}

void finishDestination(j_compress_ptr cinfo)
{
    Destination &dest = destinationOf(cinfo);
    dest.size = dest.capacity - dest.pub.free_in_buffer;
}

struct Encoder {
    jpeg_compress_struct cinfo {};
    ErrorState error {};
    Destination dest {};
    const Picture *picture = nullptr;
    EncodeOptions options;

    Encoder()
    {
        installErrorState(error);
        cinfo.err = &error.pub;
        dest.pub.init_destination = startDestination;
        dest.pub.empty_output_buffer = growDestination;
        dest.pub.term_destination = finishDestination;
    }
    ~Encoder()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(dest.data);
    }
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;
};

void writePicture(Encoder *e)
{
    jpeg_compress_struct &cinfo = e->cinfo;
    const Picture &picture = *e->picture;
    jpeg_create_compress(&cinfo);
    cinfo.dest = &e->dest.pub;
    cinfo.image_width = JDIMENSION(picture.width);
    cinfo.image_height = JDIMENSION(picture.height);
    cinfo.input_components = picture.components;
    cinfo.in_color_space = picture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, e->options.quality, TRUE);
    cinfo.optimize_coding = TRUE;
    if (picture.components == 3) {
        cinfo.comp_info[0].h_samp_factor = 2;
        cinfo.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    if (e->options.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = std::size_t(picture.width) * std::size_t(picture.components);
    // libjpeg only reads the rows; its interface predates const.
    auto *pixels = reinterpret_cast<unsigned char *>(const_cast<char *>(picture.pixels.constData()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[16];
        JDIMENSION count = 0;
        for (; count < 16 && cinfo.next_scanline + count < cinfo.image_height; ++count)
            rows[count] = pixels + std::size_t(cinfo.next_scanline + count) * stride;
        jpeg_write_scanlines(&cinfo, rows, count);
    }
    jpeg_finish_compress(&cinfo);
}

bool runEncode(Encoder *e)
{
    if (setjmp(e->error.jump))
        return false;
    writePicture(e);
    return true;
}

} // namespace

QByteArray encode(const Picture &picture, const EncodeOptions &options)
{
    if (picture.isNull())
        throw EngineError(QStringLiteral("Cannot encode an empty picture"));
    if (picture.components != 1 && picture.components != 3)
        throw EngineError(
            QStringLiteral("Cannot encode a picture of %1 components as JPEG").arg(picture.components));
    if (picture.width > kMostSide || picture.height > kMostSide)
        throw EngineError(QStringLiteral("Cannot encode a picture of %1 x %2 pixels as JPEG: the most is %3")
                              .arg(picture.width)
                              .arg(picture.height)
                              .arg(kMostSide));
    if (picture.pixels.size() != qint64(picture.width) * picture.height * picture.components)
        throw EngineError(QStringLiteral("Cannot encode the picture: its pixels do not match its size"));
    Encoder e;
    e.picture = &picture;
    e.options = options;
    e.options.quality = qBound(1, options.quality, 100);
    if (!runEncode(&e))
        throwTrouble(e.error, QStringLiteral("the picture"));
    return QByteArray(reinterpret_cast<const char *>(e.dest.data), qsizetype(e.dest.size));
}

} // namespace qvx::jpeg
