#pragma once

#include "win_types.h"

#include <QImage>
#include <string>
#include <vector>

// Resources that tests build from values: the bytes the program's resources would hold.
namespace vesk::test {

// A 24-bit bottom-up DIB of the image, as a bitmap resource holds it.
std::string MakeDib(const QImage& image);

// A toolbar resource: version 1, the button image size, then each button's command (0 for a
// separator), all 16-bit little-endian.
std::string BuildToolbarResource(int nWidth, int nHeight,
                                 const std::vector<platform::WORD>& commands);

}  // namespace vesk::test
