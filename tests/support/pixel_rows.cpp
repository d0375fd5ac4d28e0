#include "pixel_rows.h"

#include "gdi_objects.h"

#include <QBuffer>
#include <algorithm>

namespace vesk::test {

Rows ReadRows(const QImage& image, Legend legend) {
    Rows rows;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            const platform::COLORREF colour = platform::FromQRgb(image.pixel(x, y));
            const auto it = std::find_if(legend.begin(), legend.end(), [colour](const auto& entry) {
                return entry.first == colour;
            });
            row += it != legend.end() ? it->second : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

QImage ImageFromRows(const Rows& rows, std::initializer_list<std::pair<char, QRgb>> palette) {
    const int nWidth = rows.empty() ? 0 : static_cast<int>(rows.front().size());
    QImage image(nWidth, static_cast<int>(rows.size()), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < nWidth; ++x) {
            const char letter = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            for (const auto& [key, colour] : palette) {
                if (key == letter) {
                    image.setPixel(x, y, colour);
                }
            }
        }
    }
    return image;
}

QByteArray PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace vesk::test
