#pragma once

#include <QImage>

#include "sheet/model.h"

inline constexpr int kSwatchSize = 16;

// The 16 x 16 picture shown beside a "Color" item: white ground, a black
// one-pixel border with corners rounded by two pixels, filled solid with
// the colour. Made in memory, so a read-only program folder still gets its
// swatches and nothing is ever written beside the executable.
QImage makeSwatch(ColorRef color);
