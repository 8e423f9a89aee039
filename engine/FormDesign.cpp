#include "FormDesign.h"

#include "EngineError.h"
#include "io/File.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace qvx {

namespace {

const QString kFormat = QStringLiteral("quorvex-form-design");
constexpr int kVersion = 1;
constexpr qsizetype kMaxBytes = 4 * 1024 * 1024;
constexpr int kMaxControls = 10000;
constexpr int kMaxCoordinate = 32767;
constexpr int kMaxLines = 10000;

QJsonArray linesArray(const QStringList &lines)
{
    QJsonArray a;
    for (const QString &line : lines)
        a.append(line);
    return a;
}

class Reader {
public:
    explicit Reader(const QString &path) : m_path(path) { }

    [[noreturn]] void fail(const QString &what) const { throw EngineError(m_path, what); }

    QString text(const QJsonObject &o, const char *key, bool required = false) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return {};
        if (!v.isString())
            fail(QStringLiteral("\"%1\" must be text").arg(QLatin1String(key)));
        return v.toString();
    }
    int number(const QJsonObject &o, const char *key, int low, int high) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        const double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != double(qint64(d)) || d < low || d > high)
            fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                     .arg(QLatin1String(key))
                     .arg(low)
                     .arg(high));
        return int(d);
    }
    QStringList lines(const QJsonObject &o, const char *key) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return {};
        if (!v.isArray() || v.toArray().size() > kMaxLines)
            fail(QStringLiteral("\"%1\" must be a list of at most %2 lines")
                     .arg(QLatin1String(key))
                     .arg(kMaxLines));
        QStringList out;
        for (const QJsonValue &line : v.toArray()) {
            if (!line.isString())
                fail(QStringLiteral("\"%1\" must be a list of text lines").arg(QLatin1String(key)));
            out << line.toString();
        }
        return out;
    }
    QString colour(const QJsonObject &o, const char *key) const
    {
        static const QRegularExpression rgb(QStringLiteral("^#[0-9a-fA-F]{6}$"));
        const QString c = text(o, key, true);
        if (!rgb.match(c).hasMatch())
            fail(QStringLiteral("\"%1\" must be a colour written #rrggbb, not \"%2\"")
                     .arg(QLatin1String(key), c.left(20)));
        return c.toLower();
    }

private:
    QString m_path;
};

} // namespace

QByteArray writeFormDesign(const FormDesign &design)
{
    QJsonArray controls;
    for (const FormDesignControl &c : design.controls) {
        QJsonObject o;
        o.insert(QStringLiteral("kind"), c.kind);
        o.insert(QStringLiteral("name"), c.name);
        o.insert(QStringLiteral("caption"), c.caption);
        o.insert(QStringLiteral("field"), c.field);
        o.insert(QStringLiteral("left"), c.left);
        o.insert(QStringLiteral("top"), c.top);
        o.insert(QStringLiteral("width"), c.width);
        o.insert(QStringLiteral("height"), c.height);
        o.insert(QStringLiteral("background"), c.background);
        o.insert(QStringLiteral("textColor"), c.textColor);
        o.insert(QStringLiteral("font"), c.font);
        o.insert(QStringLiteral("size"), c.size);
        o.insert(QStringLiteral("style"), c.style);
        o.insert(QStringLiteral("bordered"), c.bordered);
        controls.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("designer"), design.designer);
    root.insert(QStringLiteral("statement"), linesArray(design.statement));
    root.insert(QStringLiteral("select"), linesArray(design.select));
    root.insert(QStringLiteral("from"), linesArray(design.from));
    root.insert(QStringLiteral("controls"), controls);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

FormDesign readFormDesign(const QByteArray &bytes, const QString &path)
{
    const Reader r(path);
    if (bytes.size() > kMaxBytes)
        r.fail(QStringLiteral("a form design is at most %1 bytes").arg(kMaxBytes));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        r.fail(QStringLiteral("not a form design: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    if (!doc.isObject())
        r.fail(QStringLiteral("not a form design: the document is no JSON object"));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat)
        r.fail(QStringLiteral("not a form design (its \"format\" is not \"%1\")").arg(kFormat));
    if (root.value(QStringLiteral("version")).toInt(-1) != kVersion)
        r.fail(QStringLiteral("a form design of a version this program does not read"));

    FormDesign design;
    design.designer = r.text(root, "designer", true);
    if (design.designer != QLatin1String("search") && design.designer != QLatin1String("result"))
        r.fail(QStringLiteral("\"designer\" must be \"search\" or \"result\""));
    design.statement = r.lines(root, "statement");
    design.select = r.lines(root, "select");
    design.from = r.lines(root, "from");
    const QJsonValue controls = root.value(QStringLiteral("controls"));
    if (!controls.isArray() || controls.toArray().size() > kMaxControls)
        r.fail(QStringLiteral("\"controls\" must be a list of at most %1 controls").arg(kMaxControls));
    const QStringList kinds = design.designer == QLatin1String("search")
        ? QStringList { QStringLiteral("Label"), QStringLiteral("Edit") }
        : QStringList { QStringLiteral("Label"), QStringLiteral("Edit"), QStringLiteral("Memo"),
                        QStringLiteral("Image") };
    QSet<QString> names;
    for (const QJsonValue &v : controls.toArray()) {
        if (!v.isObject())
            r.fail(QStringLiteral("each control must be a JSON object"));
        const QJsonObject o = v.toObject();
        FormDesignControl c;
        c.kind = r.text(o, "kind", true);
        if (!kinds.contains(c.kind))
            r.fail(QStringLiteral("a %1 form has no controls of kind \"%2\"")
                       .arg(design.designer, c.kind.left(20)));
        c.name = r.text(o, "name", true);
        if (c.name.isEmpty() || names.contains(c.name))
            r.fail(QStringLiteral("the control name \"%1\" is empty or used twice").arg(c.name.left(40)));
        names.insert(c.name);
        c.caption = r.text(o, "caption");
        c.field = r.text(o, "field");
        if (c.kind != QLatin1String("Label") && c.field.isEmpty())
            r.fail(QStringLiteral("the control %1 stands for no field").arg(c.name.left(40)));
        c.left = r.number(o, "left", -kMaxCoordinate, kMaxCoordinate);
        c.top = r.number(o, "top", -kMaxCoordinate, kMaxCoordinate);
        c.width = r.number(o, "width", 0, kMaxCoordinate);
        c.height = r.number(o, "height", 0, kMaxCoordinate);
        c.background = r.colour(o, "background");
        c.textColor = r.colour(o, "textColor");
        c.font = r.text(o, "font");
        c.size = r.number(o, "size", 1, 200);
        c.style = r.number(o, "style", 0, 15);
        const QJsonValue bordered = o.value(QStringLiteral("bordered"));
        if (!bordered.isBool())
            r.fail(QStringLiteral("\"bordered\" must be true or false"));
        c.bordered = bordered.toBool();
        design.controls.push_back(std::move(c));
    }
    return design;
}

void saveFormDesign(const QString &path, const FormDesign &design)
{
    writeFileAtomically(path, writeFormDesign(design));
}

FormDesign loadFormDesign(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(path, QStringLiteral("cannot be opened: %1").arg(file.errorString()));
    if (file.size() > kMaxBytes)
        throw EngineError(path, QStringLiteral("a form design is at most %1 bytes").arg(kMaxBytes));
    return readFormDesign(file.read(kMaxBytes + 1), path);
}

} // namespace qvx
