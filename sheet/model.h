#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "render/sheetfont.h"

class QMenuBar;
class ViewControl;
class Interaction;

// Colours are 0x00BBGGRR everywhere, red in the low byte, as stored in test
// files and in the settings file.
using ColorRef = std::uint32_t;
inline constexpr ColorRef kWhite = 0xFFFFFF;

inline constexpr int kQuestions = 100;
inline constexpr int kMaxAnswers = 5;
inline constexpr int kSheetWidth = 794;
inline constexpr int kSheetHeight = 1122;
inline constexpr int kViewWidth = 794;
inline constexpr int kViewHeight = 955;
inline constexpr int kPageTableSize = 501;

struct PageRecord {
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    ColorRef paperColor = 0;
};

// Copied byte for byte into the first 16 bytes of every test file record, so
// the field order and widths are part of the file format.
struct AnswerCell {
    std::int16_t left = 0;
    std::int16_t right = 0;
    std::int16_t top = 0;
    std::int16_t bottom = 0;
    std::int32_t marked = 0;
    ColorRef markColor = 0;
};
static_assert(sizeof(AnswerCell) == 16);
static_assert(offsetof(AnswerCell, left) == 0);
static_assert(offsetof(AnswerCell, right) == 2);
static_assert(offsetof(AnswerCell, top) == 4);
static_assert(offsetof(AnswerCell, bottom) == 6);
static_assert(offsetof(AnswerCell, marked) == 8);
static_assert(offsetof(AnswerCell, markColor) == 12);

// Answer k = 1..columns of question q = 1..100. The storage always has room
// for five columns so that re-creating the table never allocates.
class AnswerTable {
public:
    // Every record becomes empty and the table gets `answerColumns` columns.
    void recreate(int answerColumns);

    int columns() const { return columns_; }
    bool contains(int k, int q) const { return k >= 1 && k <= columns_ && q >= 1 && q <= kQuestions; }

    AnswerCell& at(int k, int q) { return cells_[index(k, q)]; }
    const AnswerCell& at(int k, int q) const { return cells_[index(k, q)]; }

private:
    static std::size_t index(int k, int q) { return std::size_t(q - 1) * kMaxAnswers + std::size_t(k - 1); }

    int columns_ = kMaxAnswers;
    std::array<AnswerCell, kQuestions * kMaxAnswers> cells_ {};
};

struct Settings {
    std::int32_t letterCase = 0;
    std::int32_t cellShape = 0;
    std::int32_t testType = 0;
    std::int32_t fillColor = 0;
    std::int32_t textColor = 0;
    std::int32_t hitColor = 0;
    std::int32_t missColor = 0;
};

// Zero means "nothing chosen yet"; never saved.
struct PrintSettings {
    std::int32_t printCopies = 0;
    std::int32_t printColorMode = 0;
    std::int32_t printQuality = 0;
};

enum class Edition { Full, Exam };

struct Model;

// How drawing reaches the screen without the rooms that draw knowing it:
// the view fills these in (attachView) when the model has a view, and a
// model without one, as in a program that never opens a window, leaves
// them empty so a rebuild draws the sheet alone.
struct ViewSink {
    // Lays the sheet into the view bitmap and tells the control, without
    // repainting it now.
    void (*update)(Model&) = nullptr;
    // The same, then repaints the control before returning.
    void (*refresh)(Model&) = nullptr;
};

// The program's one shared state. The running program owns exactly one; each
// test makes its own. Window handles stay null where no window exists.
struct Model {
    std::array<PageRecord, kPageTableSize> pages {};
    AnswerTable answerCells;
    AnswerTable keyCells;
    QImage sheetBitmap;
    QImage viewBitmap;
    int labelBoxWidth = 0;
    // Prepared at the first build, kept so that rebuilds lay out no text.
    SheetFont sheetFont;

    Settings settings;
    PrintSettings print;
    int printBusy = 0;
    // Set when the main window ends. A command that was waiting on an
    // ownerless box meanwhile does nothing more once the box has closed.
    bool windowEnded = false;
    std::array<ColorRef, 16> customColors {};

    QString testFileName;
    // Everything after the program's name on its command line, as one text,
    // and the same as the separate arguments the program was given.
    QString commandTail;
    QStringList commandArguments;
    // Folder of the running executable: the settings file and the page image
    // live there while filesBesideProgram holds. Tests point it at a
    // temporary folder.
    QString programFolder;
    QString programPath;
    Edition edition = Edition::Full;
    // False for an installed program, whose folder is not the user's, and
    // for a folder the user may not write: each edition then writes the page
    // image into the user's pictures folder, and keeps its settings in its
    // own folder of the user's config home unless a settings file already
    // lies beside the executable.
    bool filesBesideProgram = true;
    // Runs from the folder the packages install it into: its settings are
    // the user's own even when a settings file lies beside it.
    bool installedProgram = false;

    QWidget* mainWindow = nullptr;
    ViewControl* viewControl = nullptr;
    ViewSink viewSink;
    QMenuBar* menuBar = nullptr;
    Interaction* interaction = nullptr;
    QPointer<QWidget> savedFocus;
};

inline PageRecord& pageRecord(Model& m)
{
    return m.pages[1];
}
inline const PageRecord& pageRecord(const Model& m)
{
    return m.pages[1];
}

// 5 for the five-answer test, 2 for the two logic tests. Other test types
// have no rows; 0 keeps every loop over answers empty for them.
int answerCount(const Model& m);

void clearAnswerCells(Model& m, int n);
void recreatePages(Model& m);
void resetPageRecord(Model& m);
// Both bitmaps at their fixed sizes, white.
void createBitmaps(Model& m);
void releaseBitmaps(Model& m);
