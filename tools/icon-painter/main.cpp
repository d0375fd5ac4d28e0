// Draws the viewer's icons and writes them as ICO files: 128, the program's emblem (a red
// speech bubble with a rising line), 131, the go button's arrow, and 132, the menu button's
// three dots. Each file holds the size the resource table gives first, then the others.
//
//   vesk-icon-painter OUTPUT_DIR [PREVIEW_DIR]
//
// With PREVIEW_DIR it also writes each icon's sizes side by side on the button face, as PNG.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// Every drawing is given in a square of 32 units (128 in one of 24) scaled to the pixel size;
// strokes never get thinner than what stays legible at 16 pixels.
using Painter = std::function<void(QPainter&, double nScale, int nSize)>;

QImage Paint(int nSize, double nUnits, const Painter& paint) {
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter, nSize / nUnits, nSize);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A round badge with a soft vertical gradient and a darker rim.
void Badge(QPainter& painter, double s, QColor top, QColor bottom, QColor rim) {
    QLinearGradient fill(0, 1 * s, 0, 31 * s);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(rim, std::max(1.0, 1.0 * s)));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(1.5 * s, 1.5 * s, 29 * s, 29 * s));
}

QPen WhiteStroke(double nWidth) {
    QPen pen(Qt::white, nWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void PaintGo(QPainter& painter, double s, int nSize) {
    Badge(painter, s, QColor(0x3D, 0x9B, 0xFF), QColor(0x0B, 0x5F, 0xD0), QColor(0x08, 0x4C, 0xA8));
    painter.setPen(WhiteStroke(std::max(2.0, 3.4 * s)));
    painter.setBrush(Qt::NoBrush);
    const double nTip = nSize <= 16 ? 23.5 : 23.0;
    painter.drawLine(QPointF(8.5 * s, 16 * s), QPointF(nTip * s, 16 * s));
    QPainterPath head;
    head.moveTo(16.5 * s, 9 * s);
    head.lineTo(nTip * s, 16 * s);
    head.lineTo(16.5 * s, 23 * s);
    painter.drawPath(head);
}

void PaintMore(QPainter& painter, double s, int nSize) {
    Badge(painter, s, QColor(0x7C, 0x88, 0x96), QColor(0x4B, 0x56, 0x63), QColor(0x3C, 0x45, 0x50));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    // At 16 pixels the dots move apart so that they stay three.
    const bool bSmall = nSize <= 16;
    const double r = bSmall ? 2.6 : 2.4;
    const double nStep = bSmall ? 7.5 : 6.5;
    for (const double x : {16 - nStep, 16.0, 16 + nStep}) {
        painter.drawEllipse(QPointF(x * s, 16 * s), r * s, r * s);
    }
}

void PaintEmblem(QPainter& painter, double s, int nSize) {
    // A speech bubble, for a discussion thread; red, for a rising market.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1 * s, 1.5 * s, 22 * s, 16.5 * s), 4.5 * s, 4.5 * s);
    QPainterPath tail;
    tail.moveTo(4.5 * s, 16 * s);
    tail.lineTo(4 * s, 22.5 * s);
    tail.lineTo(11 * s, 16 * s);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    QLinearGradient fill(0, 1.5 * s, 0, 22.5 * s);
    fill.setColorAt(0, QColor(0xF2, 0x4B, 0x43));
    fill.setColorAt(1, QColor(0xC2, 0x1F, 0x1B));
    painter.setPen(QPen(QColor(0x9E, 0x16, 0x13), std::max(1.0, 0.9 * s)));
    painter.setBrush(fill);
    painter.drawPath(bubble);

    // A rising line with an arrow head.
    painter.setPen(WhiteStroke(std::max(1.6, 2.2 * s)));
    painter.setBrush(Qt::NoBrush);
    QPainterPath line;
    if (nSize <= 16) {
        line.moveTo(5 * s, 13.5 * s);
        line.lineTo(10 * s, 8.5 * s);
        line.lineTo(13 * s, 11 * s);
        line.lineTo(18.5 * s, 5.5 * s);
    } else {
        line.moveTo(5 * s, 13.5 * s);
        line.lineTo(9 * s, 9 * s);
        line.lineTo(12.5 * s, 11.5 * s);
        line.lineTo(18.5 * s, 5.5 * s);
    }
    painter.drawPath(line);
    QPainterPath head;
    head.moveTo(14 * s, 5.2 * s);
    head.lineTo(18.8 * s, 5.2 * s);
    head.lineTo(18.8 * s, 10 * s);
    painter.drawPath(head);
}

void PutWord(std::vector<char>& bytes, unsigned nValue) {
    bytes.push_back(static_cast<char>(nValue & 0xFF));
    bytes.push_back(static_cast<char>(nValue >> 8 & 0xFF));
}

void PutDword(std::vector<char>& bytes, unsigned nValue) {
    PutWord(bytes, nValue & 0xFFFF);
    PutWord(bytes, nValue >> 16);
}

// One ICO image: a 32-bit bitmap with alpha (rows bottom up, height doubled for the mask that
// follows) and its AND mask, white where the image is fully transparent.
std::vector<char> IconImage(const QImage& image) {
    std::vector<char> bytes;
    const int w = image.width();
    const int h = image.height();
    PutDword(bytes, 40);
    PutDword(bytes, static_cast<unsigned>(w));
    PutDword(bytes, static_cast<unsigned>(2 * h));
    PutWord(bytes, 1);
    PutWord(bytes, 32);
    for (int i = 0; i < 6; ++i) {
        PutDword(bytes, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            const bool bClear = qAlpha(p) == 0;
            bytes.push_back(static_cast<char>(bClear ? 0 : qBlue(p)));
            bytes.push_back(static_cast<char>(bClear ? 0 : qGreen(p)));
            bytes.push_back(static_cast<char>(bClear ? 0 : qRed(p)));
            bytes.push_back(static_cast<char>(qAlpha(p)));
        }
    }
    const int nStride = (w + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        std::vector<char> row(static_cast<std::size_t>(nStride), 0);
        for (int x = 0; x < w; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

bool WriteIco(const QString& path, const std::vector<QImage>& images) {
    std::vector<char> bytes;
    PutWord(bytes, 0);
    PutWord(bytes, 1);
    PutWord(bytes, static_cast<unsigned>(images.size()));
    std::vector<std::vector<char>> bodies;
    unsigned nOffset = 6 + 16 * static_cast<unsigned>(images.size());
    for (const QImage& image : images) {
        bodies.push_back(IconImage(image));
        bytes.push_back(static_cast<char>(image.width() & 0xFF));
        bytes.push_back(static_cast<char>(image.height() & 0xFF));
        bytes.push_back(0);
        bytes.push_back(0);
        PutWord(bytes, 1);
        PutWord(bytes, 32);
        PutDword(bytes, static_cast<unsigned>(bodies.back().size()));
        PutDword(bytes, nOffset);
        nOffset += static_cast<unsigned>(bodies.back().size());
    }
    for (const auto& body : bodies) {
        bytes.insert(bytes.end(), body.begin(), body.end());
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: vesk-icon-painter OUTPUT_DIR [PREVIEW_DIR]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    struct Entry {
        const char* pszFile;
        double nUnits;
        std::vector<int> sizes;
        Painter paint;
    };
    const Entry entries[] = {
        {"128.ico", 24, {24, 16, 32, 48, 64}, PaintEmblem},
        {"131.ico", 32, {32, 16, 24, 48}, PaintGo},
        {"132.ico", 32, {32, 16, 24, 48}, PaintMore},
    };
    for (const Entry& entry : entries) {
        std::vector<QImage> images;
        for (const int nSize : entry.sizes) {
            images.push_back(Paint(nSize, entry.nUnits, entry.paint));
        }
        const QString path = out.filePath(QString::fromLatin1(entry.pszFile));
        if (!WriteIco(path, images)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        if (argc < 3) {
            continue;
        }
        int nWidth = 0;
        for (const QImage& image : images) {
            nWidth += image.width() + 4;
        }
        QImage preview(nWidth, 64, QImage::Format_ARGB32);
        preview.fill(QColor(240, 240, 240));
        QPainter painter(&preview);
        int x = 0;
        for (const QImage& image : images) {
            painter.drawImage(x, 0, image);
            x += image.width() + 4;
        }
        painter.end();
        const QString name = QString::fromLatin1(entry.pszFile) + QStringLiteral(".png");
        // Also six times larger, pixel for pixel, to judge the small sizes.
        QImage large(nWidth * 6, 64 * 7, QImage::Format_ARGB32);
        large.fill(QColor(240, 240, 240));
        QPainter(&large).drawImage(0, 0, preview);
        QPainter(&large).drawImage(0, 64, preview.scaled(nWidth * 6, 64 * 6));
        large.save(QDir(QString::fromLocal8Bit(argv[2])).filePath(name));
    }
    return 0;
}
