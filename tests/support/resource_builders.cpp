#include "resource_builders.h"

#include "bitmap_resources.h"

#include <cstring>

namespace vesk::test {

using namespace platform;

std::string MakeDib(const QImage& image) {
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = source.width();
    header.biHeight = source.height();
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const std::size_t nStride = ((static_cast<std::size_t>(source.width()) * 24 + 31) / 32) * 4;
    std::string dib(sizeof header + nStride * static_cast<std::size_t>(source.height()), '\0');
    std::memcpy(dib.data(), &header, sizeof header);
    for (int row = 0; row < source.height(); ++row) {
        const int y = source.height() - 1 - row;
        char* pRow = dib.data() + sizeof header + row * nStride;
        for (int x = 0; x < source.width(); ++x) {
            const QRgb pixel = source.pixel(x, y);
            pRow[x * 3] = static_cast<char>(qBlue(pixel));
            pRow[x * 3 + 1] = static_cast<char>(qGreen(pixel));
            pRow[x * 3 + 2] = static_cast<char>(qRed(pixel));
        }
    }
    return dib;
}

std::string BuildToolbarResource(int nWidth, int nHeight, const std::vector<WORD>& commands) {
    std::string bytes;
    for (const int nValue : {1, nWidth, nHeight, static_cast<int>(commands.size())}) {
        bytes.push_back(static_cast<char>(nValue & 0xFF));
        bytes.push_back(static_cast<char>((nValue >> 8) & 0xFF));
    }
    for (const WORD nCommand : commands) {
        bytes.push_back(static_cast<char>(nCommand & 0xFF));
        bytes.push_back(static_cast<char>(nCommand >> 8));
    }
    return bytes;
}

}  // namespace vesk::test
