// The controls bound to one field (memo, picture box, one-line entry) and
// the record navigator.
#include "support/ScriptedServices.h"
#include "ui/DBEdit.h"
#include "ui/DBImage.h"
#include "ui/DBMemo.h"
#include "ui/DBNavigator.h"

#include "engine/ClientDataSet.h"

#include <QBuffer>
#include <QImage>
#include <QToolButton>
#include <QtTest>

using qvx::ClientDataSet;
using qvx::DataSet;
using qvx::FieldType;
using qvx::ui::DataSource;
using qvx::ui::DBNavigator;

namespace {

QByteArray picture(int w, int h, const char *format)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format);
    return bytes;
}

// Three records: a PNG, no picture, a BMP; notes on the first two.
void makeShops(ClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("NAME"), FieldType::String, 20);
    ds.addFieldDef(QStringLiteral("NOTES"), FieldType::Memo);
    ds.addFieldDef(QStringLiteral("LOGO"), FieldType::Graphic);
    ds.createDataSet();
    ds.appendRecord({ QStringLiteral("one"), QStringLiteral("first\nnote"), picture(40, 30, "PNG") });
    ds.appendRecord({ QStringLiteral("two"), QStringLiteral("second"), QVariant() });
    ds.appendRecord({ QStringLiteral("three"), QVariant(), picture(12, 9, "BMP") });
    ds.first();
}

} // namespace

class DBControlsTest : public QObject {
    Q_OBJECT

private slots:
    void memo_showsAndEditsTheField()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        DataSource source(&ds);
        qvx::ui::DBMemo memo;
        memo.setDataSource(&source);
        QCOMPARE(memo.toPlainText(), QString()); // no field yet
        memo.setDataField(QStringLiteral("NOTES"));
        QCOMPARE(memo.toPlainText(), QStringLiteral("first\nnote"));
        ds.next();
        QCOMPARE(memo.toPlainText(), QStringLiteral("second"));
        ds.next();
        QCOMPARE(memo.toPlainText(), QString());

        memo.show();
        memo.setFocus();
        QTest::keyClicks(&memo, QStringLiteral("typed"));
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.text(1), QStringLiteral("typed"));
        ds.post();
        ds.first();
        ds.last();
        QCOMPARE(memo.toPlainText(), QStringLiteral("typed"));
        QVERIFY(services.errors().isEmpty());
    }

    void memoAndEdit_readOnlyRefusalShownAndTextRestored()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        ds.setReadOnly(true);
        DataSource source(&ds);
        qvx::ui::DBMemo memo;
        memo.setDataSource(&source);
        memo.setDataField(QStringLiteral("NOTES"));
        qvx::ui::DBEdit edit;
        edit.setDataSource(&source);
        edit.setDataField(QStringLiteral("NAME"));
        QCOMPARE(edit.text(), QStringLiteral("one"));
        memo.show();
        memo.setFocus();
        QTest::keyClick(&memo, Qt::Key_X);
        QCOMPARE(memo.toPlainText(), QStringLiteral("first\nnote"));
        edit.show();
        edit.setFocus();
        QTest::keyClick(&edit, Qt::Key_X);
        QCOMPARE(edit.text(), QStringLiteral("one"));
        // The engine's refusal with its reason: the data set was opened read-only.
        QCOMPARE(services.errors(),
                 QStringList({ QStringLiteral("Cannot modify a read-only dataset: it is open read-only"),
                               QStringLiteral("Cannot modify a read-only dataset: it is open read-only") }));
        QCOMPARE(ds.state(), DataSet::State::Browse);
    }

    void edit_writesTheField()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        DataSource source(&ds);
        qvx::ui::DBEdit edit;
        edit.setDataSource(&source);
        edit.setDataField(QStringLiteral("NAME"));
        edit.show();
        edit.setFocus();
        edit.selectAll();
        QTest::keyClicks(&edit, QStringLiteral("uno"));
        QCOMPARE(ds.text(0), QStringLiteral("uno"));
        ds.next(); // posts
        QCOMPARE(edit.text(), QStringLiteral("two"));
        ds.first();
        QCOMPARE(edit.text(), QStringLiteral("uno"));
    }

    void image_followsTheRecord_data()
    {
        QTest::addColumn<int>("recNo");
        QTest::addColumn<bool>("has");
        QTest::addColumn<QSize>("size");
        QTest::newRow("png") << 1 << true << QSize(40, 30);
        QTest::newRow("none") << 2 << false << QSize();
        QTest::newRow("bmp") << 3 << true << QSize(12, 9);
    }
    void image_followsTheRecord()
    {
        QFETCH(int, recNo);
        QFETCH(bool, has);
        QFETCH(QSize, size);
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        DataSource source(&ds);
        qvx::ui::DBImage image;
        image.setDataSource(&source);
        image.setDataField(QStringLiteral("LOGO"));
        ds.setRecNo(recNo);
        QCOMPARE(image.hasPicture(), has);
        if (has)
            QCOMPARE(image.pictureSize(), size);
    }

    void image_bytesThatAreNoPicture_showNothing()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        ds.edit();
        ds.setValue(2, QByteArray("not a picture at all"));
        ds.post();
        DataSource source(&ds);
        qvx::ui::DBImage image;
        image.setDataSource(&source);
        image.setDataField(QStringLiteral("LOGO"));
        QVERIFY(!image.hasPicture());
        QVERIFY(services.errors().isEmpty());
    }

    void image_storePicture_writesTheField()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        ds.setRecNo(2);
        DataSource source(&ds);
        qvx::ui::DBImage image;
        image.setDataSource(&source);
        image.setDataField(QStringLiteral("LOGO"));
        QImage pic(5, 7, QImage::Format_RGB32);
        pic.fill(Qt::red);
        image.storePicture(pic);
        ds.post();
        QCOMPARE(QImage::fromData(ds.blob(2)).size(), QSize(5, 7));
        QCOMPARE(image.pictureSize(), QSize(5, 7));
    }

    void navigator_buttonsFollowTheState()
    {
        ScriptedServices services;
        ClientDataSet ds;
        makeShops(ds);
        DataSource source(&ds);
        DBNavigator nav;
        nav.setDataSource(&source);
        auto enabled = [&](DBNavigator::Button b) { return nav.button(b)->isEnabled(); };
        QVERIFY(!enabled(DBNavigator::First) && !enabled(DBNavigator::Prior));
        QVERIFY(enabled(DBNavigator::Next) && enabled(DBNavigator::Last));
        QVERIFY(enabled(DBNavigator::Edit) && !enabled(DBNavigator::Post) && !enabled(DBNavigator::Cancel));
        nav.button(DBNavigator::Last)->click();
        QCOMPARE(ds.recNo(), 3);
        QVERIFY(enabled(DBNavigator::First) && !enabled(DBNavigator::Next));
        nav.button(DBNavigator::Edit)->click();
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QVERIFY(enabled(DBNavigator::Post) && enabled(DBNavigator::Cancel) && !enabled(DBNavigator::Edit));
        nav.button(DBNavigator::Cancel)->click();
        QCOMPARE(ds.state(), DataSet::State::Browse);
        nav.button(DBNavigator::Prior)->click();
        QCOMPARE(ds.recNo(), 2);

        services.messageAnswers.push_back(qvx::ui::ButtonYes);
        nav.button(DBNavigator::Delete)->click();
        QCOMPARE(services.messages.size(), 1);
        QCOMPARE(services.messages[0].icon, qvx::ui::MessageIcon::Confirmation);
        QCOMPARE(ds.recordCount(), 2);

        ds.setReadOnly(true);
        source.setDataSet(nullptr);
        source.setDataSet(&ds);
        for (auto b : { DBNavigator::Insert, DBNavigator::Delete, DBNavigator::Edit, DBNavigator::Post })
            QVERIFY(!enabled(b));
        ds.close();
        for (int b = 0; b < DBNavigator::ButtonCount; ++b)
            QVERIFY(!enabled(DBNavigator::Button(b)));
    }

    void navigator_everyButtonHasAGlyph()
    {
        DBNavigator nav;
        for (int b = 0; b < DBNavigator::ButtonCount; ++b) {
            const QIcon icon = nav.button(DBNavigator::Button(b))->icon();
            QVERIFY(!icon.isNull());
            QVERIFY(!icon.pixmap(16, 16).isNull());
        }
    }
};

QTEST_MAIN(DBControlsTest)
#include "tst_dbcontrols.moc"
