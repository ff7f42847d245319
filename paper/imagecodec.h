#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <opencv2/core/mat.hpp>

// Scans are decoded and row pictures encoded through Qt's image readers,
// not OpenCV's codecs, whose library brings a whole GIS stack (GDAL and a
// hundred more libraries) into every run of the grading tool.

// Decodes image `index` (the page of a TIFF; 0 otherwise) of the PNG, JPEG
// or TIFF in `bytes` into 8-bit grey, reusing `grey`'s buffer. False when
// the data cannot be decoded whole.
bool decodeGreyImage(QByteArrayView bytes, int index, cv::Mat& grey);

// `grey` (8-bit, one channel) as a PNG file; empty on failure.
QByteArray encodeGreyPng(const cv::Mat& grey);
