#pragma once

#include <deque>

#include <QStringList>
#include <QTest>

#include "notas/notasdialogs.h"

// Answers the window's questions from a script and records its messages; a
// question without an answer fails the test and is cancelled.
class ScriptedDialogs final : public NotasDialogs {
public:
    std::deque<QString> files;
    std::deque<QStringList> fileLists;
    std::deque<int> copies;
    QStringList printers;
    QStringList warnings;
    QStringList notices;

    QString openFile(QWidget*, const QString&, const QString&, const QString&) override { return next(); }
    QStringList openFiles(QWidget*, const QString&, const QString&, const QString&) override
    {
        if (fileLists.empty()) {
            QTest::qFail("a file list was asked for that the test did not expect", __FILE__, __LINE__);
            return {};
        }
        QStringList list = fileLists.front();
        fileLists.pop_front();
        return list;
    }
    QString openFolder(QWidget*, const QString&, const QString&) override { return next(); }
    QString saveFile(QWidget*, const QString&, const QString&, const QString&) override { return next(); }
    int chooseCopies(QWidget*, const QString&, const QString& printer) override
    {
        printers << printer;
        if (copies.empty()) {
            QTest::qFail("copies were asked for that the test did not expect", __FILE__, __LINE__);
            return 0;
        }
        const int n = copies.front();
        copies.pop_front();
        return n;
    }
    void warn(QWidget*, const QString&, const QString& text) override { warnings << text; }
    void inform(QWidget*, const QString&, const QString& text) override { notices << text; }

private:
    QString next()
    {
        if (files.empty()) {
            QTest::qFail("a file was asked for that the test did not expect", __FILE__, __LINE__);
            return {};
        }
        QString path = files.front();
        files.pop_front();
        return path;
    }
};
