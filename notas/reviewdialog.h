#pragma once

#include <vector>

#include <QDialog>
#include <QString>

#include "notas/paperreview.h"

class QLabel;
class QPushButton;

// Walks the doubtful cells of a class's paper one by one: the row of the
// question as scanned, enlarged, and the reading chosen. A letter marks
// that letter of the question, Supr leaves the cell empty, Intro accepts
// the reading, the arrows move between cells. Each decision is written at
// once; the cell then leaves the list.
class ReviewDialog : public QDialog {
    Q_OBJECT

public:
    explicit ReviewDialog(const QString& folder, QWidget* parent = nullptr);

    const std::vector<ReviewCell>& cells() const { return cells_; }
    int current() const { return current_; }

    // The commands of the keys and the buttons, for tests alike. `marked`
    // is a letter of the question (1 for A), or 0 for an empty cell.
    bool decide(int marked);
    void move(int step);
    // The letter typed, in this cell's test type: 0 when it is none.
    int answerOfKey(const QString& text) const;

signals:
    // A decision was written: the grades are no longer current.
    void decided();
    void failed(const QString& reason);

private:
    void showCell(int index);

    QString folder_;
    std::vector<ReviewCell> cells_;
    int current_ = 0;
    QLabel* where_ = nullptr;
    QLabel* row_ = nullptr;
    QLabel* reading_ = nullptr;
    QList<QPushButton*> commands_;
};
