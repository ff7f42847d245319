#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every question the Notas window asks passes through here, so the program
// shows Qt's dialogs while tests answer from a script and never wait on one.
class NotasDialogs {
public:
    virtual ~NotasDialogs() = default;

    // An existing file matching `filter` (Qt's "Tests (*.ztest)" form), or
    // empty when cancelled.
    virtual QString openFile(QWidget* owner, const QString& title, const QString& folder, const QString& filter) = 0;
    // Any number of existing files; none when cancelled.
    virtual QStringList openFiles(QWidget* owner, const QString& title, const QString& folder, const QString& filter)
        = 0;
    virtual QString openFolder(QWidget* owner, const QString& title, const QString& folder) = 0;
    // Where to write; the dialog asks before replacing a file.
    virtual QString saveFile(QWidget* owner, const QString& title, const QString& path, const QString& filter) = 0;
    // How many copies to print on `printer`, from 1; 0 when cancelled.
    virtual int chooseCopies(QWidget* owner, const QString& title, const QString& printer) = 0;
    virtual void warn(QWidget* owner, const QString& title, const QString& text) = 0;
    virtual void inform(QWidget* owner, const QString& title, const QString& text) = 0;
};

// Qt's own dialogs, not the desktop's, so that their texts are Spanish
// from Qt's translations on every desktop.
class QtNotasDialogs final : public NotasDialogs {
public:
    QString openFile(QWidget* owner, const QString& title, const QString& folder, const QString& filter) override;
    QStringList openFiles(QWidget* owner, const QString& title, const QString& folder, const QString& filter) override;
    QString openFolder(QWidget* owner, const QString& title, const QString& folder) override;
    QString saveFile(QWidget* owner, const QString& title, const QString& path, const QString& filter) override;
    int chooseCopies(QWidget* owner, const QString& title, const QString& printer) override;
    void warn(QWidget* owner, const QString& title, const QString& text) override;
    void inform(QWidget* owner, const QString& title, const QString& text) override;
};
