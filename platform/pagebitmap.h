#pragma once

#include <QImage>

// A 32-bit bitmap of a whole page or view, its pixels in memory that the
// system may back with large pages: a fresh page image costs a few hundred
// small page faults otherwise, a visible share of the program's start.
QImage makePageBitmap(int width, int height);
