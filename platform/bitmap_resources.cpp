#include "bitmap_resources.h"

#include "system.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <cstring>

namespace vesk::platform {

namespace {

// The colour table; with bMapSysColours its black, greys and white become the button colours.
std::vector<QRgb> ReadColourTable(std::string_view dib, std::size_t nTableAt, std::size_t nColours,
                                  bool bMapSysColours) {
    std::vector<QRgb> table(nColours);
    for (std::size_t i = 0; i < nColours; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(dib.data() + nTableAt + i * 4);
        QRgb colour =
            0xFF000000u | static_cast<QRgb>(p[2]) << 16 | static_cast<QRgb>(p[1]) << 8 | p[0];
        if (bMapSysColours) {
            switch (colour & 0xFFFFFF) {
                case 0x000000:
                    colour = ToQRgb(GetSysColor(COLOR_BTNTEXT));
                    break;
                case 0x808080:
                    colour = ToQRgb(GetSysColor(COLOR_BTNSHADOW));
                    break;
                case 0xC0C0C0:
                    colour = ToQRgb(GetSysColor(COLOR_BTNFACE));
                    break;
                case 0xFFFFFF:
                    colour = ToQRgb(GetSysColor(COLOR_BTNHIGHLIGHT));
                    break;
                default:
                    break;
            }
        }
        table[i] = colour;
    }
    return table;
}

std::unique_ptr<Bitmap> Decode(std::string_view dib, bool bMapSysColours) {
    const std::optional<BITMAPINFOHEADER> header = ReadBitmapHeader(dib);
    if (!header || header->biSize < 40 || header->biCompression != BI_RGB || header->biWidth <= 0 ||
        header->biHeight == 0 || header->biWidth > 32768 || std::abs(header->biHeight) > 32768) {
        return nullptr;
    }
    const int nBits = header->biBitCount;
    if (nBits != 1 && nBits != 4 && nBits != 8 && nBits != 24 && nBits != 32) {
        return nullptr;
    }
    const std::size_t nColours =
        header->biClrUsed != 0 ? header->biClrUsed : (nBits <= 8 ? (1u << nBits) : 0u);
    const std::size_t nTableAt = header->biSize;
    const std::size_t nBitsAt = nTableAt + nColours * 4;
    const int nWidth = header->biWidth;
    const int nHeight = std::abs(header->biHeight);
    const std::size_t nStride = ((static_cast<std::size_t>(nWidth) * nBits + 31) / 32) * 4;
    if (nColours > 256 || dib.size() < nBitsAt + nStride * static_cast<std::size_t>(nHeight)) {
        return nullptr;
    }
    const std::vector<QRgb> table = ReadColourTable(dib, nTableAt, nColours, bMapSysColours);
    auto pBitmap = std::make_unique<Bitmap>(nWidth, nHeight, false);
    QImage& image = pBitmap->Image();
    for (int row = 0; row < nHeight; ++row) {
        // Rows run bottom up unless the height is negative.
        const int y = header->biHeight > 0 ? nHeight - 1 - row : row;
        const auto* pRow =
            reinterpret_cast<const unsigned char*>(dib.data() + nBitsAt + row * nStride);
        for (int x = 0; x < nWidth; ++x) {
            QRgb colour = 0xFF000000u;
            if (nBits == 24 || nBits == 32) {
                const unsigned char* p = pRow + x * (nBits / 8);
                colour |= static_cast<QRgb>(p[2]) << 16 | static_cast<QRgb>(p[1]) << 8 | p[0];
            } else {
                const int nBit = x * nBits;
                const int nShift = 8 - nBits - nBit % 8;
                const std::size_t nIndex = (pRow[nBit / 8] >> nShift) & ((1 << nBits) - 1);
                colour = nIndex < table.size() ? table[nIndex] : 0xFF000000u;
            }
            image.setPixel(x, y, colour);
        }
    }
    return pBitmap;
}

}  // namespace

std::optional<BITMAPINFOHEADER> ReadBitmapHeader(std::string_view dib) {
    if (dib.size() < sizeof(BITMAPINFOHEADER)) {
        return std::nullopt;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    return header;
}

std::unique_ptr<Bitmap> LoadDib(std::string_view dib) {
    return Decode(dib, false);
}

std::unique_ptr<Bitmap> LoadSysColorDib(std::string_view dib) {
    return Decode(dib, true);
}

std::unique_ptr<Bitmap> LoadBitmapResource(const ResourceName& name) {
    const std::optional<std::string_view> bytes = FindResource(name, RT_BITMAP);
    return bytes ? LoadDib(*bytes) : nullptr;
}

std::vector<QImage> IconResourceImages(const ResourceName& name) {
    std::vector<QImage> images;
    const std::optional<std::string_view> bytes = FindResource(name, RT_GROUP_ICON);
    if (!bytes) {
        return images;
    }
    QByteArray data(bytes->data(), static_cast<qsizetype>(bytes->size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    do {
        const QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        images.push_back(image);
    } while (reader.jumpToNextImage());
    return images;
}

QIcon IconResourceQIcon(const ResourceName& name) {
    QIcon icon;
    for (const QImage& image : IconResourceImages(name)) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

std::unique_ptr<Icon> LoadIconResource(const ResourceName& name, int cx, int cy) {
    // Of an ICO file, the image nearest the size asked for.
    const auto distance = [cx, cy](const QImage& i) {
        return cx <= 0 ? 0 : std::abs(i.width() - cx) + std::abs(i.height() - cy);
    };
    QImage best;
    for (const QImage& image : IconResourceImages(name)) {
        if (best.isNull() || distance(image) < distance(best)) {
            best = image;
        }
    }
    if (best.isNull()) {
        return nullptr;
    }
    if (cx > 0 && cy > 0 && best.size() != QSize(cx, cy)) {
        best = best.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return Icon::FromImage(best);
}

}  // namespace vesk::platform
