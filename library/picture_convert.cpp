#include "picture_convert.h"

#include <png.h>

#include <memory>
#include <webp/decode.h>

namespace vesk {

namespace {

struct WebpPixels {
    void operator()(std::uint8_t* pPixels) const { WebPFree(pPixels); }
};

// libpng's writer into a string; a failure longjmps out of png_write_png.
void Append(png_structp pPng, png_bytep pData, png_size_t nLength) {
    static_cast<std::string*>(png_get_io_ptr(pPng))
        ->append(reinterpret_cast<char*>(pData), nLength);
}

// Writes the rows as PNG into out; false when libpng fails (it jumps back here, and nothing here
// changes after the jump is set).
bool WriteRows(png_structp pPng, png_infop pInfo, png_bytep* pRows, int nWidth, int nHeight,
               int nColourType, std::string* pOut) {
    if (setjmp(png_jmpbuf(pPng)) != 0) {
        return false;
    }
    png_set_write_fn(pPng, pOut, Append, nullptr);
    png_set_IHDR(pPng, pInfo, static_cast<png_uint_32>(nWidth), static_cast<png_uint_32>(nHeight),
                 8, nColourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(pPng, pInfo, pRows);
    png_write_png(pPng, pInfo, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

}  // namespace

// Pixels of nBytes a pixel, row by row, as PNG of the colour type.
std::optional<std::string> Encode(const std::uint8_t* pPixels, int nWidth, int nHeight, int nBytes,
                                  int nColourType) {
    png_structp pPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop pInfo = pPng != nullptr ? png_create_info_struct(pPng) : nullptr;
    std::string png;
    std::unique_ptr<png_bytep[]> rows(new png_bytep[static_cast<std::size_t>(nHeight)]);
    for (int y = 0; y < nHeight; ++y) {
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(
            pPixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(nWidth * nBytes));
    }
    const bool bWritten =
        pInfo != nullptr && WriteRows(pPng, pInfo, rows.get(), nWidth, nHeight, nColourType, &png);
    png_destroy_write_struct(&pPng, pInfo != nullptr ? &pInfo : nullptr);
    return bWritten ? std::optional<std::string>(std::move(png)) : std::nullopt;
}

std::optional<std::string> EncodeGreyPng(const std::uint8_t* pPixels, int nWidth, int nHeight) {
    return Encode(pPixels, nWidth, nHeight, 1, PNG_COLOR_TYPE_GRAY);
}

std::optional<std::string> WebpToPng(std::string_view webp) {
    int nWidth = 0;
    int nHeight = 0;
    const std::unique_ptr<std::uint8_t, WebpPixels> pixels(WebPDecodeRGBA(
        reinterpret_cast<const std::uint8_t*>(webp.data()), webp.size(), &nWidth, &nHeight));
    if (pixels == nullptr || nWidth <= 0 || nHeight <= 0) {
        return std::nullopt;
    }
    return Encode(pixels.get(), nWidth, nHeight, 4, PNG_COLOR_TYPE_RGBA);
}

}  // namespace vesk
