#pragma once

#include "win_types.h"

#include <QByteArray>
#include <QImage>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// Pictures written and read as rows of letters, one letter a pixel, through a legend.
namespace vesk::test {

using Rows = std::vector<std::string>;
// A colour and the letter that stands for it.
using Legend = std::initializer_list<std::pair<platform::COLORREF, char>>;

// The image as rows: each pixel is the letter of the first legend entry of its colour, '?'
// when no entry has it.
Rows ReadRows(const QImage& image, Legend legend);

// An ARGB image from rows: each letter is the colour (with its alpha) that the palette gives it,
// transparent for a letter the palette does not name.
QImage ImageFromRows(const Rows& rows, std::initializer_list<std::pair<char, QRgb>> palette);

// The image as a PNG file's bytes.
QByteArray PngBytes(const QImage& image);

}  // namespace vesk::test
