// The page's code: what is printed comes back whole through a real QR
// reader, and anything that is not exactly what the printer writes is
// refused with a reason.

#include <QImage>
#include <QPainter>
#include <QTest>

#include "paper/sheetcode.h"
#include "tests/support/qrread.h"

namespace {

SheetCode rosterCode()
{
    SheetCode c;
    c.examId = QStringLiteral("3F2A9C01");
    c.layout = SheetLayout { 1, 0, 0, 37, PaperSize::Letter };
    c.serial = 12;
    c.studentId = QStringLiteral("12345678Z");
    c.studentName = QStringLiteral("Núñez, Begoña");
    return c;
}

// The symbol drawn the way a page draws it: modules of 4 pixels inside a
// quiet zone of four modules.
QImage symbolImage(const CodeMatrix& m)
{
    constexpr int kModule = 4;
    QImage image((m.size + 8) * kModule, (m.size + 8) * kModule, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < m.size; ++y)
        for (int x = 0; x < m.size; ++x)
            if (m.at(x, y))
                p.fillRect((x + 4) * kModule, (y + 4) * kModule, kModule, kModule, Qt::black);
    return image;
}

} // namespace

class TestSheetCode : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<SheetCode>("code");
        QTest::addColumn<QString>("nameRead");
        SheetCode anonymous;
        anonymous.examId = QStringLiteral("00FF00AA");
        anonymous.serial = kMaxSheetSerial;
        QTest::newRow("anonymous, A4, five answers") << anonymous << QString();
        QTest::newRow("roster with an accented name") << rosterCode() << QStringLiteral("Núñez, Begoña");
        SheetCode slash = rosterCode();
        slash.studentName = QStringLiteral("Ana / Luz");
        QTest::newRow("a name holding the separator") << slash << slash.studentName;
        SheetCode longName = rosterCode();
        longName.studentId = QStringLiteral("a-very_long.id-20ch");
        longName.studentName = QStringLiteral("María de los Ángeles Fernández-Villaverde y Sotomayor");
        QTest::newRow("a name too long for the code is left out") << longName << QString();
    }

    void roundTrip()
    {
        QFETCH(SheetCode, code);
        QFETCH(QString, nameRead);
        const QByteArray payload = encodeSheetCode(code);
        QVERIFY(!payload.isEmpty());
        const CodeMatrix matrix = sheetCodeMatrix(payload);
        QVERIFY2(matrix.size >= 21 && matrix.size <= 33, "larger than version 4");

        QByteArray ecLevel;
        QCOMPARE(readQrPayload(symbolImage(matrix), &ecLevel), payload);
        QVERIFY2(ecLevel == "M" || ecLevel == "Q", ecLevel.constData());

        QString reason;
        const std::optional<SheetCode> back = decodeSheetCode(payload, reason);
        QVERIFY2(back, qPrintable(reason));
        SheetCode expected = code;
        expected.studentName = nameRead;
        QCOMPARE(*back, expected);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another code") << QByteArray("https://example.org/");
        QTest::newRow("a later version") << QByteArray("Z2/3F2A9C01/011100A/7");
        QTest::newRow("version with a leading zero") << QByteArray("Z01/3F2A9C01/011100A/7");
        QTest::newRow("fields missing") << QByteArray("Z1/3F2A9C01/011100A");
        QTest::newRow("exam id in small letters") << QByteArray("Z1/3f2a9c01/011100A/7");
        QTest::newRow("exam id too short") << QByteArray("Z1/3F2A9C0/011100A/7");
        QTest::newRow("test type 3") << QByteArray("Z1/3F2A9C01/311100A/7");
        QTest::newRow("cell shape 2") << QByteArray("Z1/3F2A9C01/021100A/7");
        QTest::newRow("no questions") << QByteArray("Z1/3F2A9C01/011000A/7");
        QTest::newRow("101 questions") << QByteArray("Z1/3F2A9C01/011101A/7");
        QTest::newRow("paper size X") << QByteArray("Z1/3F2A9C01/011100X/7");
        QTest::newRow("layout too long") << QByteArray("Z1/3F2A9C01/011100AA/7");
        QTest::newRow("serial 0") << QByteArray("Z1/3F2A9C01/011100A/0");
        QTest::newRow("serial with a leading zero") << QByteArray("Z1/3F2A9C01/011100A/07");
        QTest::newRow("serial too large") << QByteArray("Z1/3F2A9C01/011100A/100000");
        QTest::newRow("serial with a sign") << QByteArray("Z1/3F2A9C01/011100A/+7");
        QTest::newRow("empty student id") << QByteArray("Z1/3F2A9C01/011100A/7/");
        QTest::newRow("id climbing out of its folder") << QByteArray("Z1/3F2A9C01/011100A/7/..");
        QTest::newRow("id with a space") << QByteArray("Z1/3F2A9C01/011100A/7/12 34");
        QTest::newRow("id too long") << QByteArray("Z1/3F2A9C01/011100A/7/123456789012345678901");
        QTest::newRow("empty name") << QByteArray("Z1/3F2A9C01/011100A/7/42/");
        QTest::newRow("name not UTF-8") << QByteArray("Z1/3F2A9C01/011100A/7/42/N\xfa\xf1"
                                                      "ez");
        QTest::newRow("name with a control character") << QByteArray("Z1/3F2A9C01/011100A/7/42/Ana\nLuz");
        QTest::newRow("name with a NUL") << QByteArray("Z1/3F2A9C01/011100A/7/42/Ana\0Luz", 32);
        QTest::newRow("far too long") << QByteArray("Z1/3F2A9C01/011100A/7/42/") + QByteArray(300, 'a');
    }

    void refusals()
    {
        QFETCH(QByteArray, payload);
        QString reason;
        // Each row spoils one part of this payload, which is read.
        QVERIFY(decodeSheetCode("Z1/3F2A9C01/011100A/7/42/Ana", reason));
        QVERIFY(!decodeSheetCode(payload, reason));
        QVERIFY(!reason.isEmpty());
    }

    // The printer never writes what the reader would refuse.
    void encodeRefusesWhatItWouldNotRead_data()
    {
        QTest::addColumn<SheetCode>("code");
        SheetCode c = rosterCode();
        c.studentId = QStringLiteral("../../etc");
        QTest::newRow("id with a path") << c;
        c = rosterCode();
        c.studentId.clear();
        QTest::newRow("name without an id") << c;
        c = rosterCode();
        c.examId = QStringLiteral("XYZ");
        QTest::newRow("bad exam id") << c;
        c = rosterCode();
        c.serial = 0;
        QTest::newRow("serial 0") << c;
        c = rosterCode();
        c.layout.questions = 0;
        QTest::newRow("no questions") << c;
    }

    void encodeRefusesWhatItWouldNotRead()
    {
        QFETCH(SheetCode, code);
        QVERIFY(encodeSheetCode(code).isEmpty());
    }

    void examIdFollowsTitleLayoutAndKey()
    {
        const SheetLayout layout { 0, 1, 1, 3, PaperSize::A4 };
        const std::vector<unsigned> key { 1, 2, 4 };
        const QString id = examId(QStringLiteral("Historia 3ºB"), layout, key);
        QCOMPARE(id.size(), 8);
        QCOMPARE(examId(QStringLiteral("Historia 3ºB"), layout, key), id);
        QVERIFY(examId(QStringLiteral("Historia 3ºA"), layout, key) != id);
        QVERIFY(examId(QStringLiteral("Historia 3ºB"), SheetLayout { 0, 0, 1, 3, PaperSize::A4 }, key) != id);
        QVERIFY(examId(QStringLiteral("Historia 3ºB"), layout, { 1, 2, 8 }) != id);
        QVERIFY(examId(QStringLiteral("Historia 3ºB"), layout, {}) != id);
    }

    // A reader holding only the key tells its exam's pages, whatever their
    // title, from another exam's.
    void examFitsKey_data()
    {
        QTest::addColumn<QString>("printedFrom");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("fits");
        QTest::newRow("this key") << QStringLiteral("ABC") << 3 << true;
        QTest::newRow("no key, all questions") << QString() << 100 << true;
        QTest::newRow("another key") << QStringLiteral("ABD") << 3 << false;
        QTest::newRow("a longer key") << QStringLiteral("ABCA") << 4 << false;
    }

    void examFitsKey()
    {
        QFETCH(QString, printedFrom);
        QFETCH(int, questions);
        QFETCH(bool, fits);
        const auto marks = [](const QString& letters) {
            std::vector<unsigned> m;
            for (QChar c : letters)
                m.push_back(1u << (c.unicode() - u'A'));
            return m;
        };
        SheetCode code;
        code.layout = SheetLayout { 0, 1, 1, questions, PaperSize::A4 };
        code.examId = examId(QStringLiteral("cualquier título"), code.layout, marks(printedFrom));
        // The key as the reader has it: every question, unanswered ones 0.
        std::vector<unsigned> key = marks(QStringLiteral("ABC"));
        key.resize(100, 0);
        QCOMPARE(::examFitsKey(code, key), fits);
    }
};

QTEST_GUILESS_MAIN(TestSheetCode)
#include "tst_sheetcode.moc"
