#pragma once

#include <array>

#include <QFont>
#include <QStaticText>

// The one font of the sheet's numbers and letters, with what drawing them
// needs prepared once: integer advance widths, the line height and a laid-out
// text for every question number and every answer letter, so a rebuild lays
// out no text of its own.
struct SheetFont {
    bool loaded = false;
    QFont font;
    int lineHeight = 0;
    // By character code; -1 where not measured in advance.
    std::array<int, 128> asciiAdvance {};
    // "001." to "100.", index q - 1.
    std::array<QStaticText, 100> numberLabels;
    // The one-character texts of kSheetLetters, index by character code;
    // the others stay empty.
    std::array<QStaticText, 128> singleCharacters;
};

// The face the sheet asks for. Where the machine has no family of that name,
// the face our set-up installs stands in, so the sheet is the same everywhere.
inline constexpr const char* kSheetFontFamily = "Consola";
inline constexpr const char* kSheetFontStandIn = "Inconsolata";
inline constexpr int kSheetFontPoints = 10;
// Every answer letter of the three row variants, in both cases.
inline constexpr const char* kSheetLetters = "ABCDEFGHIJabcdefghijVvTtFf";

// Prepares the font the first time; later calls return at once. Needs the
// GUI application to exist.
void loadSheetFont(SheetFont& font);

int advanceOf(const SheetFont& font, QChar c);

const QStaticText& numberLabel(const SheetFont& font, int q);
const QStaticText& singleCharacter(const SheetFont& font, char c);
