#pragma once

#include <QDialog>
#include <QString>

class NotasDialogs;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
struct NotasOptions;

// Makes the answer sheets to print for the window's key: the title, a class
// list or a number of anonymous copies, and the paper. The sheets are saved
// as a PDF or sent to the default printer; every question and message goes
// through `dialogs`.
class PaperSheetsDialog final : public QDialog {
public:
    PaperSheetsDialog(NotasDialogs& dialogs, const QString& keyPath, const QString& folder, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setRoster(const QString& path);
    void setCopies(int copies);
    void setLetterPaper(bool letter);

    // The commands of the buttons. Each tells its outcome and returns
    // whether the sheets went out.
    bool savePdf();
    bool printSheets();
    void chooseRoster();

    // The folder the last PDF went to, or the one given.
    QString folder() const { return folder_; }

private:
    NotasOptions request() const;
    bool hasPages();

    NotasDialogs& dialogs_;
    QString keyPath_;
    QString folder_;
    QLineEdit* title_ = nullptr;
    QLineEdit* roster_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QComboBox* paper_ = nullptr;
};
