#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QMap>
#include <QStringList>
#include <QWidget>

// What is wrong with a shown dialog for a user of the keyboard or a screen
// reader: controls without a name or out of the Tab order, and Alt letters
// used twice (the letter would only move between the two). Empty when
// nothing is.
inline QStringList dialogControlFaults(QWidget& dialog)
{
    QStringList faults;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&dialog) || w->focusProxy())
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const QString what = QString::fromLatin1(w->metaObject()->className());
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            faults << QStringLiteral("sin nombre: ") + what;
        else if (!(w->focusPolicy() & Qt::TabFocus))
            faults << QStringLiteral("fuera del tabulador: ") + a->text(QAccessible::Name);
    }
    QStringList texts;
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
        texts << b->text();
    for (QLabel* l : dialog.findChildren<QLabel*>())
        texts << l->text();
    QMap<QChar, QString> letters;
    for (const QString& text : std::as_const(texts)) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp < 0 || amp + 1 >= text.size())
            continue;
        const QChar letter = text[amp + 1].toLower();
        if (letters.contains(letter))
            faults << QStringLiteral("letra repetida: ") + letters.value(letter) + QStringLiteral(" / ") + text;
        letters.insert(letter, text);
    }
    return faults;
}
