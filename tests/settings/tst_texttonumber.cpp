#include <QTest>

#include "settings/texttonumber.h"

class TestTextToNumber : public QObject {
    Q_OBJECT
private slots:
    void values_data();
    void values();
};

void TestTextToNumber::values_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blanks only") << " \t\r\n" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("plain") << "65280" << 65280;
    QTest::newRow("written with leading space") << " 255" << 255;
    QTest::newRow("all blank kinds skipped") << "\t\r\n 42" << 42;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("minus sign") << "-7" << -7;
    QTest::newRow("sign without digits") << "-" << 0;
    QTest::newRow("blank after sign stops") << "- 5" << 0;
    QTest::newRow("trailing text ignored") << "12abc" << 12;
    QTest::newRow("inner blank stops") << "1 2" << 1;

    QTest::newRow("half down to even") << "2.5" << 2;
    QTest::newRow("half up to even") << "1.5" << 2;
    QTest::newRow("zero point five") << "0.5" << 0;
    QTest::newRow("negative half to even") << "-2.5" << -2;
    QTest::newRow("negative half up") << "-3.5" << -4;
    QTest::newRow("just above half") << "2.5000000000000000000001" << 3;
    QTest::newRow("just below half") << "2.4999999999999999999999" << 2;
    QTest::newRow("point only") << "." << 0;
    QTest::newRow("fraction only") << ".6" << 1;
    QTest::newRow("trailing point") << "5." << 5;
    QTest::newRow("second point stops") << "1.2.9" << 1;
    QTest::newRow("negative zero") << "-0.4" << 0;

    QTest::newRow("exponent E") << "1E3" << 1000;
    QTest::newRow("exponent e") << "2e2" << 200;
    QTest::newRow("exponent D") << "3D1" << 30;
    QTest::newRow("exponent d") << "4d0" << 4;
    QTest::newRow("exponent with plus") << "1.5E+1" << 15;
    QTest::newRow("negative exponent") << "25E-1" << 2;
    QTest::newRow("negative exponent odd") << "35e-1" << 4;
    QTest::newRow("exponent without digits") << "7E" << 7;
    QTest::newRow("exponent sign without digits") << "7E-x" << 7;
    QTest::newRow("exponent letter X is not one") << "7X2" << 7;
    QTest::newRow("tiny") << "1E-999999999999999999999" << 0;
    QTest::newRow("zero with huge exponent") << "0E999999999999" << 0;

    QTest::newRow("hex upper") << "&HFF" << 255;
    QTest::newRow("hex lower") << "&hff" << 255;
    QTest::newRow("hex stops at non-digit") << "&H1G" << 1;
    QTest::newRow("hex without digits") << "&H" << 0;
    QTest::newRow("hex colour") << "&HFF00" << 65280;
    QTest::newRow("hex all ones is minus one") << "&HFFFFFFFF" << -1;
    QTest::newRow("hex sign bit") << "&H80000000" << int(-2147483647 - 1);
    QTest::newRow("hex leading zeros do not widen") << "&H0000000000FF" << 255;
    QTest::newRow("hex wider than 32 bits") << "&H100000000" << 2147483647;
    QTest::newRow("binary") << "&B101" << 5;
    QTest::newRow("binary lower stops at 2") << "&b1012" << 5;
    QTest::newRow("octal O") << "&O17" << 15;
    QTest::newRow("octal o") << "&o17" << 15;
    QTest::newRow("octal Q") << "&Q17" << 15;
    QTest::newRow("octal q") << "&q17" << 15;
    QTest::newRow("octal bare") << "&17" << 15;
    QTest::newRow("octal stops at 8") << "&178" << 15;
    QTest::newRow("ampersand then 8") << "&8" << 0;
    QTest::newRow("ampersand alone") << "&" << 0;
    QTest::newRow("ampersand then letter") << "&X1" << 0;
    QTest::newRow("blanks before ampersand") << "  &H10" << 16;

    QTest::newRow("max") << "2147483647" << 2147483647;
    QTest::newRow("min") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("above max saturates") << "2147483648" << 2147483647;
    QTest::newRow("max plus half rounds past max") << "2147483647.5" << 2147483647;
    QTest::newRow("below min saturates") << "-2147483649" << int(-2147483647 - 1);
    QTest::newRow("huge saturates") << "99999999999999999999999999" << 2147483647;
    QTest::newRow("huge negative saturates") << "-1E300" << int(-2147483647 - 1);
    QTest::newRow("huge exponent saturates") << "1E999999999999999999999" << 2147483647;
    QTest::newRow("leading zeros") << "000000000000000000000012" << 12;
}

void TestTextToNumber::values()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(textToNumber(text), expected);
}

QTEST_APPLESS_MAIN(TestTextToNumber)
#include "tst_texttonumber.moc"
