#pragma once

#include <QImage>
#include <QWidget>

struct Model;

// The graphic area of the main window. It paints straight from the model's
// view bitmap, white where there is none, and turns Qt's input events into
// the window messages of the view handler before passing them on to
// QWidget's own handling.
class ViewControl final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kId = 1001;

    ViewControl(Model& model, QWidget* parent);

    // Rows top to bottom - 1 of the view bitmap have changed: they reach
    // the screen at the next paint.
    void viewRowsChanged(int top, int bottom);
    // What the control paints now, as an image of its size.
    QImage shownImage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Model& model_;
};
