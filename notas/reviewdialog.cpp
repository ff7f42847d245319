#include "notas/reviewdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// The scanned row is small at the reader's resolution; twice its size
// shows a pencil stroke.
constexpr int kEnlarge = 2;

bool isTwoAnswer(const ReviewCell& cell)
{
    return cell.letter == u"V" || cell.letter == u"T" || cell.letter == u"F";
}

} // namespace

ReviewDialog::ReviewDialog(const QString& folder, QWidget* parent)
    : QDialog(parent)
    , folder_(folder)
    , cells_(pendingReview(folder))
{
    setWindowTitle(QStringLiteral("Revisar las dudas — Zelvora Notas"));
    setAccessibleName(QStringLiteral("Revisar las casillas dudosas"));

    // A label's accessible name is all a screen reader gets of it: these
    // two keep none of their own, so the cell and its reading are read out
    // as they are shown, and anew at each cell.
    where_ = new QLabel(this);
    where_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    row_ = new QLabel(this);
    row_->setAccessibleName(QStringLiteral("Fila escaneada"));
    row_->setAlignment(Qt::AlignCenter);
    row_->setMinimumHeight(80);
    reading_ = new QLabel(this);
    reading_->setWordWrap(true);
    auto* help = new QLabel(QStringLiteral("Pulse la letra que marcó el alumno, Supr para dejar la casilla vacía, "
                                           "Intro para aceptar la lectura y las flechas para moverse."),
        this);
    help->setWordWrap(true);
    help->setAccessibleName(QStringLiteral("Instrucciones"));

    const auto command = [this](const QString& text, const QString& name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setAccessibleName(name);
        // Intro belongs to the review, not to a default button.
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        commands_ << b;
        return b;
    };
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command(QStringLiteral("&Anterior"), QStringLiteral("Duda anterior"), [this] { move(-1); }));
    buttons->addWidget(
        command(QStringLiteral("Aceptar &lectura"), QStringLiteral("Aceptar la lectura"), [this] { decide(0); }));
    buttons->addWidget(
        command(QStringLiteral("&Vaciar"), QStringLiteral("Dejar la casilla vacía"), [this] { decide(0); }));
    buttons->addWidget(command(QStringLiteral("&Siguiente"), QStringLiteral("Duda siguiente"), [this] { move(1); }));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Cerrar"));
    close->button(QDialogButtonBox::Close)->setAccessibleName(QStringLiteral("Cerrar la revisión"));
    close->button(QDialogButtonBox::Close)->setAutoDefault(false);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where_);
    layout->addWidget(row_, 1);
    layout->addWidget(reading_);
    layout->addWidget(help);
    layout->addLayout(buttons);
    layout->addWidget(close);

    // Shortcuts rather than key events: they reach the review whichever
    // button has the focus.
    const auto shortcut = [this](const QKeySequence& keys, auto slot) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Delete), [this] { decide(0); });
    shortcut(QKeySequence(Qt::Key_Return), [this] { decide(0); });
    shortcut(QKeySequence(Qt::Key_Enter), [this] { decide(0); });
    for (const Qt::Key key : { Qt::Key_Left, Qt::Key_Up })
        shortcut(QKeySequence(key), [this] { move(-1); });
    for (const Qt::Key key : { Qt::Key_Right, Qt::Key_Down })
        shortcut(QKeySequence(key), [this] { move(1); });
    for (const QChar c : QStringLiteral("ABCDEVFT")) {
        shortcut(QKeySequence(QString(c)), [this, c] {
            if (const int k = answerOfKey(QString(c)); k > 0)
                decide(k);
        });
    }
    showCell(0);
}

int ReviewDialog::answerOfKey(const QString& text) const
{
    if (cells_.empty() || text.size() != 1)
        return 0;
    const QChar c = text.front().toUpper();
    if (isTwoAnswer(cells_[std::size_t(current_)])) {
        if (c == u'F')
            return 2;
        return c == u'V' || c == u'T' ? 1 : 0;
    }
    const qsizetype k = QStringLiteral("ABCDE").indexOf(c);
    return k >= 0 ? int(k) + 1 : 0;
}

bool ReviewDialog::decide(int marked)
{
    if (cells_.empty())
        return false;
    QString error;
    if (!decideCell(folder_, cells_[std::size_t(current_)], { marked }, error)) {
        emit failed(error);
        return false;
    }
    cells_.erase(cells_.begin() + current_);
    showCell(std::min(current_, int(cells_.size()) - 1));
    emit decided();
    return true;
}

void ReviewDialog::move(int step)
{
    if (!cells_.empty())
        showCell(std::clamp(current_ + step, 0, int(cells_.size()) - 1));
}

void ReviewDialog::showCell(int index)
{
    current_ = std::max(index, 0);
    for (QPushButton* b : std::as_const(commands_))
        b->setEnabled(!cells_.empty());
    if (cells_.empty()) {
        where_->setText(QStringLiteral("No quedan casillas dudosas."));
        row_->clear();
        reading_->clear();
        return;
    }
    const ReviewCell& c = cells_[std::size_t(current_)];
    where_->setText(QStringLiteral("Duda %1 de %2: %3 (%4), pregunta %5, letra %6")
                        .arg(current_ + 1)
                        .arg(cells_.size())
                        .arg(c.student, c.page)
                        .arg(c.question)
                        .arg(c.letter));
    const QPixmap picture(c.rowImage);
    if (picture.isNull()) {
        row_->setText(QStringLiteral("(sin imagen de la fila)"));
    } else {
        row_->setPixmap(picture.scaled(picture.size() * kEnlarge, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    reading_->setText(QStringLiteral("Relleno medido: %1 %. Lectura elegida: no marcada.").arg(c.fill));
}

#include "moc_reviewdialog.cpp"
