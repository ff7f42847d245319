#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include "platform/winmsg.h"
#include "render/page.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"
#include "view/view.h"
#include "view/viewcontrol.h"

using namespace winmsg;

namespace {

constexpr QRgb kMarker = 0xFF123456;

// A refresh rebuilds the view bitmap from white, so a marker pixel left in
// it tells whether the last message refreshed the view.
void plantMarker(Model& m)
{
    m.viewBitmap.setPixel(400, 400, kMarker);
}

bool refreshed(const Model& m)
{
    return m.viewBitmap.pixel(400, 400) != kMarker;
}

} // namespace

class TestView : public QObject {
    Q_OBJECT
private slots:
    void keys_data();
    void keys();
    void wheel_data();
    void wheel();
    void viewPixelsFollowTheOffset_data();
    void viewPixelsFollowTheOffset();
    void frameIsTheOutermostPixels();
    void controlPaintsTheViewBitmap();
    void qtEventsBecomeMessages();
};

void TestView::keys_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("refresh");

    QTest::newRow("down") << 0 << int(kVkDown) << -1 << true;
    QTest::newRow("down at lower bound") << -561 << int(kVkDown) << -561 << false;
    QTest::newRow("down past lower bound") << -660 << int(kVkDown) << -660 << false;
    QTest::newRow("up") << -10 << int(kVkUp) << -9 << true;
    QTest::newRow("up at top") << 0 << int(kVkUp) << 0 << false;
    QTest::newRow("up past top") << 50 << int(kVkUp) << 50 << false;
    QTest::newRow("down past top") << 50 << int(kVkDown) << 49 << true;
    QTest::newRow("page down") << 0 << int(kVkNext) << -100 << true;
    QTest::newRow("page down overshoots") << -560 << int(kVkNext) << -660 << true;
    QTest::newRow("page down at bound") << -561 << int(kVkNext) << -561 << false;
    QTest::newRow("page up overshoots") << -50 << int(kVkPrior) << 50 << true;
    QTest::newRow("page up at top") << 0 << int(kVkPrior) << 0 << false;
    QTest::newRow("page up past top") << 50 << int(kVkPrior) << 50 << false;
    QTest::newRow("end") << 0 << int(kVkEnd) << -561 << true;
    QTest::newRow("end at bound still refreshes") << -561 << int(kVkEnd) << -561 << true;
    QTest::newRow("end from past bound") << -660 << int(kVkEnd) << -561 << true;
    QTest::newRow("home") << -300 << int(kVkHome) << 0 << true;
    QTest::newRow("home at top still refreshes") << 0 << int(kVkHome) << 0 << true;
    QTest::newRow("home from past top") << 50 << int(kVkHome) << 0 << true;
    QTest::newRow("left does nothing") << -10 << int(kVkLeft) << -10 << false;
    QTest::newRow("letter does nothing") << -10 << int('A') << -10 << false;
    QTest::newRow("high word ignored") << 0 << int(makeLong(kVkDown, 0x1234)) << -1 << true;
}

void TestView::keys()
{
    QFETCH(int, offset);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(bool, refresh);

    TestModel t;
    pageRecord(t.m).originY = offset;
    plantMarker(t.m);
    viewHandler(t.m, kKeyDown, WParam(key), 0x00500001);
    QCOMPARE(pageRecord(t.m).originY, expected);
    QCOMPARE(refreshed(t.m), refresh);
}

void TestView::wheel_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("expected");

    const int towards = 65536 - 120;
    QTest::newRow("away at top stays") << 0 << 120 << 0;
    QTest::newRow("away at -1 overshoots") << -1 << 120 << 14;
    QTest::newRow("away past top") << 14 << 120 << 14;
    QTest::newRow("towards") << 0 << towards << -15;
    QTest::newRow("towards at -560 overshoots") << -560 << towards << -575;
    QTest::newRow("towards at bound") << -561 << towards << -561;
    QTest::newRow("towards past bound") << -575 << towards << -575;
    QTest::newRow("delta 240 is one step") << -100 << 240 << -85;
    QTest::newRow("delta 0 steps away") << -100 << 0 << -85;
    QTest::newRow("delta 32768 steps away") << -100 << 32768 << -85;
    QTest::newRow("delta 32769 steps towards") << -100 << 32769 << -115;
    QTest::newRow("large turn towards is one step") << -100 << 65536 - 480 << -115;
}

void TestView::wheel()
{
    QFETCH(int, offset);
    QFETCH(int, delta);
    QFETCH(int, expected);

    TestModel t;
    pageRecord(t.m).originY = offset;
    plantMarker(t.m);
    viewHandler(t.m, kMouseWheel, makeLong(0x0008, std::uint32_t(delta)), makeLong(10, 10));
    QCOMPARE(pageRecord(t.m).originY, expected);
    QVERIFY2(refreshed(t.m), "the wheel always refreshes");
}

void TestView::viewPixelsFollowTheOffset_data()
{
    QTest::addColumn<int>("offset");
    QTest::newRow("top") << 0;
    QTest::newRow("bottom") << -561;
    QTest::newRow("past top") << 50;
    QTest::newRow("past bottom") << -660;
}

void TestView::viewPixelsFollowTheOffset()
{
    QFETCH(int, offset);

    TestModel t;
    // A recognisable sheet: every row its own colour.
    for (int y = 0; y < kSheetHeight; ++y)
        for (int x = 0; x < kSheetWidth; ++x)
            t.m.sheetBitmap.setPixel(x, y, qRgb(y & 0xFF, (y >> 8) & 0xFF, 7));
    pageRecord(t.m).originY = offset;
    refreshView(t.m);

    for (int v = 0; v < kViewHeight; ++v) {
        const int sheetRow = v - offset;
        const QRgb want
            = sheetRow >= 0 && sheetRow < kSheetHeight ? t.m.sheetBitmap.pixel(0, sheetRow) : qRgb(255, 255, 255);
        for (int x : { 0, 397, kViewWidth - 1 }) {
            if (t.m.viewBitmap.pixel(x, v) != want)
                QFAIL(qPrintable(QStringLiteral("view pixel (%1, %2) wrong").arg(x).arg(v)));
        }
    }
    QCOMPARE(t.m.viewControl->shownImage(), t.m.viewBitmap);
}

void TestView::frameIsTheOutermostPixels()
{
    QImage image(kSheetWidth, kSheetHeight, QImage::Format_RGB32);
    clearToWhite(image);
    drawPageFrame(image);
    int black = 0;
    for (int y = 0; y < kSheetHeight; ++y) {
        for (int x = 0; x < kSheetWidth; ++x) {
            const bool border = x == 0 || y == 0 || x == kSheetWidth - 1 || y == kSheetHeight - 1;
            const QRgb p = image.pixel(x, y);
            if (border != (p == qRgb(0, 0, 0)) || (!border && p != qRgb(255, 255, 255)))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) wrong").arg(x).arg(y)));
            black += border;
        }
    }
    QCOMPARE(black, 2 * kSheetWidth + 2 * kSheetHeight - 4);
}

void TestView::controlPaintsTheViewBitmap()
{
    TestModel t;
    pageRecord(t.m).originY = -300;
    refreshView(t.m);
    QCOMPARE(t.m.viewControl->shownImage(), t.m.viewBitmap);
    // Without a view bitmap (before the window opens, after it ends) the
    // control is white rather than whatever was painted last.
    releaseBitmaps(t.m);
    const QImage blank = t.m.viewControl->shownImage();
    QCOMPARE(blank.size(), QSize(kViewWidth, kViewHeight));
    QCOMPARE(blank.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(blank.pixel(kViewWidth - 1, kViewHeight - 1), qRgb(255, 255, 255));
}

void TestView::qtEventsBecomeMessages()
{
    TestModel t;
    t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    pageRecord(t.m).originY = 0;

    QTest::keyClick(t.m.viewControl, Qt::Key_PageDown);
    QCOMPARE(pageRecord(t.m).originY, -100);
    QTest::keyClick(t.m.viewControl, Qt::Key_End);
    QCOMPARE(pageRecord(t.m).originY, -561);
    QTest::keyClick(t.m.viewControl, Qt::Key_Home);
    QCOMPARE(pageRecord(t.m).originY, 0);

    QWheelEvent towards(QPointF(10, 10), t.m.viewControl->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t.m.viewControl, &towards);
    QCOMPARE(pageRecord(t.m).originY, -15);
    QWheelEvent sideways(QPointF(10, 10), t.m.viewControl->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(120, 0),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t.m.viewControl, &sideways);
    QCOMPARE(pageRecord(t.m).originY, -15);
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
