// Writes the benchmark inputs: a dbf table of N rows and an XML data packet
// of N rows with the same fields. The bytes are written here directly, not
// through the engine, so the inputs do not depend on the code they measure.
// A fixed seed makes every run write byte-identical files.
//
//   qvx_bench_gen dbf <path> <rows>   dBASE III+ table, no memo, ~1% deleted
//   qvx_bench_gen xml <path> <rows>   DATAPACKET with the same six fields
//
// Fields (dbf / packet):
//   NAME     C(30)   / string WIDTH=30     person or company name, some cp1252 letters, some '&'
//   AMOUNT   N(10,2) / fixed 10,2          signed, ~2% blank (null)
//   QTY      N(8,0)  / i4                  0..9999999
//   ORDERED  D       / date                1990..2030, ~2% blank (null)
//   PAID     L       / boolean             T / F, ~5% '?' (null)
//   NOTE     C(50)   / string WIDTH=50     a few words, ~10% empty
// The table is memo-free on purpose: the scan ratio compares record decoding,
// and a memo would add a second file's random reads that the baseline lacks.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: tiny, fast and the same on every platform and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) { }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1; the modulo bias is irrelevant for test data.
    std::uint32_t below(std::uint32_t n) { return std::uint32_t(next() % n); }
    bool percent(int p) { return below(100) < std::uint32_t(p); }

private:
    std::uint64_t m_state;
};

// Names in windows-1252 (the table's code page): \xFC = u-umlaut, \xE9 = e-acute,
// \xD8 = O-stroke, \xE7 = c-cedilla.
const char *const kFirstNames[] = { "Anna", "Bruno",   "Clara", "Dmitri", "Eva",   "Farid",  "Greta", "Hugo",
                                    "Ines", "Jos\xE9", "Karin", "Lars",   "Marta", "Nils",   "Olga",  "Pedro",
                                    "Rosa", "Stefan",  "Tanja", "Ulrich", "Vera",  "Walter", "Yusuf", "Zoe" };
const char *const kLastNames[]
    = { "Adler",   "Berger",  "Castro", "Dubois",    "Eriksen",    "Fischer", "Garcia",        "Hansen",
        "Ivanova", "Jensen",  "Keller", "Lindqvist", "M\xFCller",  "Nowak",   "\xD8stergaard", "Petrov",
        "Rossi",   "Schmidt", "Tanaka", "Urbanski",  "Villanueva", "Wagner",  "Yilmaz",        "Zimmermann" };
const char *const kCompanyWords[] = { "North",  "Blue",    "Iron",        "Green", "Delta", "Summit",
                                      "Harbor", "Pioneer", "Fran\xE7ois", "Atlas", "Cedar", "Orbit" };
const char *const kCompanyKinds[] = { "Trading", "Logistics", "Foods", "Tools", "Textiles", "Systems" };
const char *const kNoteWords[]
    = { "deliver", "before",  "noon", "call",   "customer", "invoice", "sent", "urgent", "partial",  "back",
        "order",   "checked", "by",   "phone",  "returned", "damaged", "box",  "second", "reminder", "paid",
        "cash",    "on",      "site", "weekly", "account",  "closed",  "see",  "notes" };

template<typename T, std::size_t N> constexpr std::uint32_t countOf(T (&)[N])
{
    return N;
}

struct Row {
    bool deleted = false;
    std::string name; // windows-1252 bytes, at most 30
    bool amountNull = false;
    std::int64_t amountCents = 0;
    std::int32_t qty = 0;
    bool dateNull = false;
    int year = 0, month = 0, day = 0;
    char paid = 'F'; // 'T', 'F' or '?'
    std::string note; // at most 50
};

// Proleptic Gregorian date from days since 1970-01-01 (the usual era-based civil-from-days method).
void civilFromDays(std::int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

class RowGenerator {
public:
    RowGenerator() : m_rng(0x5155525645585831ull) { }

    void next(Row &r)
    {
        r.deleted = m_rng.percent(1);

        r.name.clear();
        if (m_rng.percent(20)) {
            r.name += kCompanyWords[m_rng.below(countOf(kCompanyWords))];
            r.name += m_rng.percent(15) ? " & " : " ";
            r.name += kCompanyKinds[m_rng.below(countOf(kCompanyKinds))];
        } else {
            r.name += kFirstNames[m_rng.below(countOf(kFirstNames))];
            r.name += ' ';
            r.name += kLastNames[m_rng.below(countOf(kLastNames))];
        }
        if (r.name.size() > 30)
            r.name.resize(30);

        r.amountNull = m_rng.percent(2);
        r.amountCents = std::int64_t(m_rng.below(100000000)) - 9999999; // -99999.99 .. 900000.00
        r.qty = std::int32_t(m_rng.below(m_rng.percent(90) ? 1000 : 10000000));

        r.dateNull = m_rng.percent(2);
        // 1990-01-01 is day 7305 after 1970-01-01; about 40 years of dates.
        civilFromDays(7305 + m_rng.below(14610), r.year, r.month, r.day);

        const std::uint32_t p = m_rng.below(100);
        r.paid = p < 5 ? '?' : (p < 60 ? 'T' : 'F');

        r.note.clear();
        if (!m_rng.percent(10)) {
            const std::uint32_t words = 1 + m_rng.below(8);
            for (std::uint32_t i = 0; i < words; ++i) {
                const char *w = kNoteWords[m_rng.below(countOf(kNoteWords))];
                const std::size_t extra = (r.note.empty() ? 0 : 1) + std::strlen(w);
                if (r.note.size() + extra > 50)
                    break;
                if (!r.note.empty())
                    r.note += ' ';
                r.note += w;
            }
        }
    }

private:
    Rng m_rng;
};

[[noreturn]] void fail(const char *what, const char *path)
{
    std::fprintf(stderr, "qvx_bench_gen: %s: %s: %s\n", path, what, std::strerror(errno));
    std::exit(1);
}

void putPadded(char *dst, std::size_t width, const std::string &s)
{
    std::memset(dst, ' ', width);
    std::memcpy(dst, s.data(), s.size() < width ? s.size() : width);
}

// Right-justified decimal text of value / 10^decimals in `width` characters.
void putNumber(char *dst, int width, std::int64_t value, int decimals)
{
    char text[32];
    const bool negative = value < 0;
    std::uint64_t v = negative ? std::uint64_t(-value) : std::uint64_t(value);
    int n = 0;
    for (int i = 0; i < decimals; ++i) {
        text[n++] = char('0' + v % 10);
        v /= 10;
    }
    if (decimals > 0)
        text[n++] = '.';
    do {
        text[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        text[n++] = '-';
    std::memset(dst, ' ', std::size_t(width));
    for (int i = 0; i < n && i < width; ++i)
        dst[width - 1 - i] = text[i];
}

struct DbfField {
    const char *name;
    char type;
    int length;
    int decimals;
};

const DbfField kDbfFields[] = {
    { "NAME", 'C', 30, 0 },   { "AMOUNT", 'N', 10, 2 }, { "QTY", 'N', 8, 0 },
    { "ORDERED", 'D', 8, 0 }, { "PAID", 'L', 1, 0 },    { "NOTE", 'C', 50, 0 },
};

void writeDbf(const char *path, std::uint32_t rows)
{
    constexpr int fieldCount = int(countOf(kDbfFields));
    int recordLength = 1;
    for (const DbfField &f : kDbfFields)
        recordLength += f.length;
    const int headerLength = 32 + 32 * fieldCount + 1;

    std::FILE *out = std::fopen(path, "wb");
    if (!out)
        fail("cannot create", path);

    unsigned char header[32] = {};
    header[0] = 0x03; // dBASE III+ without memo
    header[1] = 24; // last update 2024-01-01 (year mod 100), fixed so the file is reproducible
    header[2] = 1;
    header[3] = 1;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = (rows >> (8 * i)) & 0xFF;
    header[8] = headerLength & 0xFF;
    header[9] = (headerLength >> 8) & 0xFF;
    header[10] = recordLength & 0xFF;
    header[11] = (recordLength >> 8) & 0xFF;
    header[29] = 0x03; // windows-1252
    std::fwrite(header, 1, sizeof header, out);

    int offset = 1;
    for (const DbfField &f : kDbfFields) {
        unsigned char d[32] = {};
        std::memcpy(d, f.name, std::strlen(f.name));
        d[11] = static_cast<unsigned char>(f.type);
        for (int i = 0; i < 4; ++i)
            d[12 + i] = (offset >> (8 * i)) & 0xFF;
        d[16] = static_cast<unsigned char>(f.length);
        d[17] = static_cast<unsigned char>(f.decimals);
        std::fwrite(d, 1, sizeof d, out);
        offset += f.length;
    }
    std::fputc(0x0D, out);

    constexpr std::uint32_t batch = 8192;
    std::vector<char> buffer(std::size_t(recordLength) * batch);
    RowGenerator gen;
    Row row;
    for (std::uint32_t done = 0; done < rows;) {
        const std::uint32_t n = rows - done < batch ? rows - done : batch;
        for (std::uint32_t i = 0; i < n; ++i) {
            gen.next(row);
            char *rec = buffer.data() + std::size_t(i) * std::size_t(recordLength);
            rec[0] = row.deleted ? '*' : ' ';
            char *p = rec + 1;
            putPadded(p, 30, row.name);
            p += 30;
            if (row.amountNull)
                std::memset(p, ' ', 10);
            else
                putNumber(p, 10, row.amountCents, 2);
            p += 10;
            putNumber(p, 8, row.qty, 0);
            p += 8;
            if (row.dateNull) {
                std::memset(p, ' ', 8);
            } else {
                char date[9];
                std::snprintf(date, sizeof date, "%04d%02d%02d", row.year, row.month, row.day);
                std::memcpy(p, date, 8);
            }
            p += 8;
            *p++ = row.paid;
            putPadded(p, 50, row.note);
        }
        if (std::fwrite(buffer.data(), std::size_t(recordLength), n, out) != n)
            fail("cannot write", path);
        done += n;
    }
    std::fputc(0x1A, out);
    if (std::fclose(out) != 0)
        fail("cannot write", path);
}

// windows-1252 text (only Latin-1 letters are used above) as escaped UTF-8.
void appendXmlText(std::string &out, const std::string &cp1252)
{
    for (unsigned char c : cp1252) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (c < 0x80) {
                out += char(c);
            } else {
                out += char(0xC0 | (c >> 6));
                out += char(0x80 | (c & 0x3F));
            }
        }
    }
}

void writeXml(const char *path, std::uint32_t rows)
{
    std::FILE *out = std::fopen(path, "wb");
    if (!out)
        fail("cannot create", path);
    std::fputs("<?xml version=\"1.0\" standalone=\"yes\"?>\n"
               "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
               "<FIELD attrname=\"NAME\" fieldtype=\"string\" WIDTH=\"30\"/>"
               "<FIELD attrname=\"AMOUNT\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"10\"/>"
               "<FIELD attrname=\"QTY\" fieldtype=\"i4\"/>"
               "<FIELD attrname=\"ORDERED\" fieldtype=\"date\"/>"
               "<FIELD attrname=\"PAID\" fieldtype=\"boolean\"/>"
               "<FIELD attrname=\"NOTE\" fieldtype=\"string\" WIDTH=\"50\"/>"
               "</FIELDS><PARAMS/></METADATA><ROWDATA>\n",
               out);

    RowGenerator gen;
    Row row;
    std::string line;
    char number[32];
    for (std::uint32_t i = 0; i < rows; ++i) {
        gen.next(row);
        line.assign("<ROW NAME=\"");
        appendXmlText(line, row.name);
        line += '"';
        if (!row.amountNull) {
            putNumber(number, 12, row.amountCents, 2);
            const char *start = number;
            while (*start == ' ')
                ++start;
            line += " AMOUNT=\"";
            line.append(start, std::size_t(number + 12 - start));
            line += '"';
        }
        line += " QTY=\"" + std::to_string(row.qty) + '"';
        if (!row.dateNull) {
            std::snprintf(number, sizeof number, " ORDERED=\"%04d%02d%02d\"", row.year, row.month, row.day);
            line += number;
        }
        if (row.paid != '?')
            line += row.paid == 'T' ? " PAID=\"TRUE\"" : " PAID=\"FALSE\"";
        line += " NOTE=\"";
        appendXmlText(line, row.note);
        line += "\"/>\n";
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size())
            fail("cannot write", path);
    }
    std::fputs("</ROWDATA></DATAPACKET>\n", out);
    if (std::fclose(out) != 0)
        fail("cannot write", path);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "dbf") != 0 && std::strcmp(argv[1], "xml") != 0)) {
        std::fprintf(stderr, "usage: qvx_bench_gen dbf|xml <path> <rows>\n");
        return 2;
    }
    char *end = nullptr;
    const unsigned long rows = std::strtoul(argv[3], &end, 10);
    if (*end != '\0' || rows > 0xFFFFFFFFul) {
        std::fprintf(stderr, "qvx_bench_gen: bad row count '%s'\n", argv[3]);
        return 2;
    }
    if (argv[1][0] == 'd')
        writeDbf(argv[2], std::uint32_t(rows));
    else
        writeXml(argv[2], std::uint32_t(rows));
    return 0;
}
