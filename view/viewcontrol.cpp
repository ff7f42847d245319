#include "view/viewcontrol.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include "platform/winmsg.h"
#include "sheet/model.h"
#include "view/view.h"

using namespace winmsg;

namespace {

std::uint32_t virtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_PageUp:
        return kVkPrior;
    case Qt::Key_PageDown:
        return kVkNext;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    default:
        // Letters and digits share their codes with Qt; nothing else is
        // looked at by the view.
        if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
            return std::uint32_t(qtKey);
        return 0;
    }
}

LParam pointParam(const QPointF& position)
{
    const int x = std::clamp(int(position.x()), 0, 0xFFFF);
    const int y = std::clamp(int(position.y()), 0, 0xFFFF);
    return makeLong(std::uint32_t(x), std::uint32_t(y));
}

} // namespace

ViewControl::ViewControl(Model& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setFixedSize(kViewWidth, kViewHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ViewControl::viewRowsChanged(int top, int bottom)
{
    if (top < bottom)
        update(0, top, width(), bottom - top);
}

QImage ViewControl::shownImage()
{
    return grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void ViewControl::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect area = event->rect();
    const QImage& view = model_.viewBitmap;
    // Before the window opens and after it ends there is no view bitmap;
    // the control starts white, as an empty graphic area does.
    if (view.isNull()) {
        p.fillRect(area, Qt::white);
        return;
    }
    p.drawImage(area.topLeft(), view, area);
}

void ViewControl::keyPressEvent(QKeyEvent* event)
{
    viewHandler(model_, kKeyDown, virtualKey(event->key()), 1);
    QWidget::keyPressEvent(event);
}

void ViewControl::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    // A sideways turn is another message altogether and has no rule here.
    if (delta != 0)
        viewHandler(model_, kMouseWheel, makeLong(0, std::uint32_t(std::int16_t(delta))), pointParam(event->position()));
    QWidget::wheelEvent(event);
}

void ViewControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        viewHandler(model_, kLButtonDown, 1, pointParam(event->position()));
    else if (event->button() == Qt::RightButton)
        viewHandler(model_, kRButtonDown, 2, pointParam(event->position()));
    QWidget::mousePressEvent(event);
}

void ViewControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        viewHandler(model_, kLButtonUp, 0, pointParam(event->position()));
    QWidget::mouseReleaseEvent(event);
}

void ViewControl::mouseMoveEvent(QMouseEvent* event)
{
    viewHandler(model_, kMouseMove, 0, pointParam(event->position()));
    QWidget::mouseMoveEvent(event);
}

#include "moc_viewcontrol.cpp"
