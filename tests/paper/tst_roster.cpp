// Class lists as spreadsheets and people write them, and the ones a teacher
// must be told about, with the line to look at.

#include <QTest>

#include "paper/roster.h"

using Students = QList<QStringList>; // id and name of each, in order

class TestRoster : public QObject {
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<Students>("students");
        QTest::newRow("commas") << QByteArray("id,nombre\n1,Ana\n2,Luis\n")
                                << Students { { "1", "Ana" }, { "2", "Luis" } };
        QTest::newRow("semicolons, Windows line ends, byte-order mark, no final line end")
            << QByteArray("\xEF\xBB\xBFnombre;id\r\nNúñez, Begoña;a-7\r\nÍñigo;b.8")
            << Students { { "a-7", "Núñez, Begoña" }, { "b.8", "Íñigo" } };
        QTest::newRow("quotes around separators, doubled quotes and a line break")
            << QByteArray("\"Id\",\"Nombre\",grupo\n1,\"Gil, \"\"Pepe\"\"\",3B\n2,\"Ana\nMaría\",\"\"\n")
            << Students { { "1", "Gil, \"Pepe\"" }, { "2", "Ana María" } };
        QTest::newRow("blanks trimmed, blank lines skipped")
            << QByteArray("  ID ; NOMBRE \n\n 007 ;  Eva   Gil \n\n\n") << Students { { "007", "Eva Gil" } };
        QTest::newRow("a comma in an unquoted name of a semicolon list")
            << QByteArray("id;nombre;email\n1;Ruiz, Ana;a@x.es\n") << Students { { "1", "Ruiz, Ana" } };
    }

    void accepted()
    {
        QFETCH(QByteArray, csv);
        QFETCH(Students, students);
        QString error;
        const std::optional<std::vector<RosterStudent>> read = parseRoster(csv, error);
        QVERIFY2(read, qPrintable(error));
        Students got;
        for (const RosterStudent& s : *read)
            got << QStringList { s.id, s.name };
        QCOMPARE(got, students);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("línea 1: la cabecera");
        QTest::newRow("no header") << QByteArray("1,Ana\n2,Luis\n") << QStringLiteral("línea 1: la cabecera");
        QTest::newRow("no nombre column")
            << QByteArray("id,apellidos\n1,Gil\n") << QStringLiteral("línea 1: la cabecera");
        QTest::newRow("id column twice") << QByteArray("id,nombre,id\n1,Ana,2\n")
                                         << QStringLiteral("línea 1: la cabecera repite");
        QTest::newRow("header only") << QByteArray("id;nombre\n\n") << QStringLiteral("ningún alumno");
        QTest::newRow("unquoted comma in a name") << QByteArray("id,nombre\n1,Ana\n2,Ruiz, Luis\n")
                                                  << QStringLiteral("línea 3: tiene 3 campos y la cabecera 2");
        QTest::newRow("a field missing") << QByteArray("id;nombre\n1\n") << QStringLiteral("línea 2: tiene 1 campos");
        QTest::newRow("quote never closed")
            << QByteArray("id,nombre\n1,Ana\n2,\"Luis\n3,Eva\n") << QStringLiteral("línea 3: faltan las comillas");
        QTest::newRow("quote inside a field")
            << QByteArray("id,nombre\n1,Ana \"la\" Gil\n") << QStringLiteral("línea 2: hay unas comillas en medio");
        QTest::newRow("text after a closing quote")
            << QByteArray("id,nombre\n1,\"Ana\" Gil\n") << QStringLiteral("línea 2: hay texto después");
        QTest::newRow("line count goes on after a quoted line break")
            << QByteArray("id,nombre\n1,\"Ana\nMaría\"\n,Luis\n") << QStringLiteral("línea 4: falta el id");
        QTest::newRow("empty id") << QByteArray("id,nombre\n1,Ana\n  ,Luis\n")
                                  << QStringLiteral("línea 3: falta el id");
        QTest::newRow("same id, other case") << QByteArray("id,nombre\nA1,Ana\nb2,Luis\na1,Eva\n")
                                             << QStringLiteral("línea 4: el id «a1» ya está en la línea 2");
        QTest::newRow("id that would name a path")
            << QByteArray("id,nombre\n../x,Ana\n") << QStringLiteral("línea 2: el id «../x» solo puede");
        QTest::newRow("id with an accent") << QByteArray("id,nombre\nñ1,Ana\n") << QStringLiteral("línea 2: el id");
        QTest::newRow("not UTF-8") << QByteArray("id,nombre\n1,Ana\n2,Nu\xf1"
                                                 "ez\n")
                                   << QStringLiteral("línea 3: el texto no está en UTF-8");
        QTest::newRow("control character in a name") << QByteArray(
            "id,nombre\n1,\"Ana\x07\"\n") << QStringLiteral("línea 2: el nombre tiene caracteres de control");
        QTest::newRow("too large") << QByteArray("id,nombre\n") + QByteArray(kMaxRosterBytes, 'a')
                                   << QStringLiteral("demasiado grande");
    }

    void refused()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!parseRoster(csv, got));
        QVERIFY2(got.startsWith(error) || got.contains(error), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TestRoster)
#include "tst_roster.moc"
