#pragma once

#include <QImage>
#include <QWidget>

struct Model;

// The graphic area of the main window. It paints only its own copy of the
// image last handed to it, and turns Qt's input events into the window
// messages of the view handler before passing them on to QWidget's own
// handling.
class ViewControl final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kId = 1001;

    ViewControl(Model& model, QWidget* parent);

    // A plain copy of the smaller of the two sizes into the control's own
    // image; no allocation once the sizes match.
    void copyImage(const QImage& image);
    const QImage& shownImage() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Model& model_;
    QImage shown_;
};
