#pragma once

#include <cstdint>

// The desktop platform's basic types and a few of its macros, with the platform's values, so that
// the menu and button code reads as the platform's own.
namespace vesk::platform {

using BOOL = int;
using UINT = unsigned int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// A colour as 0x00BBGGRR.
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
constexpr int GetRValue(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
    return static_cast<int>(c >> 16 & 0xFF);
}

constexpr LRESULT MAKELRESULT(WORD low, WORD high) {
    return static_cast<LRESULT>(static_cast<DWORD>(low) | static_cast<DWORD>(high) << 16);
}
constexpr WORD LOWORD(DWORD value) {
    return static_cast<WORD>(value & 0xFFFF);
}
constexpr WORD HIWORD(DWORD value) {
    return static_cast<WORD>(value >> 16 & 0xFFFF);
}

struct POINT {
    int x = 0;
    int y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct SIZE {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const SIZE&, const SIZE&) = default;
};

// A rectangle whose right and bottom edges lie outside it.
struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const RECT&, const RECT&) = default;
};

// Moves a rectangle; FALSE for none.
inline BOOL OffsetRect(RECT* pRect, int dx, int dy) {
    if (pRect == nullptr) {
        return FALSE;
    }
    pRect->left += dx;
    pRect->right += dx;
    pRect->top += dy;
    pRect->bottom += dy;
    return TRUE;
}

// Widens a rectangle by dx on the left and right and dy on the top and bottom (narrows it for
// negative values); FALSE for none.
inline BOOL InflateRect(RECT* pRect, int dx, int dy) {
    if (pRect == nullptr) {
        return FALSE;
    }
    pRect->left -= dx;
    pRect->right += dx;
    pRect->top -= dy;
    pRect->bottom += dy;
    return TRUE;
}

// A menu handle. It fits 32 bits, as menu handles do, so that it can stand where a command
// identifier stands.
enum class HMENU : std::uint32_t {};
inline constexpr HMENU kNoMenu = HMENU{0};

constexpr UINT_PTR ToId(HMENU hMenu) {
    return static_cast<UINT_PTR>(hMenu);
}
constexpr HMENU MenuFromId(UINT_PTR nId) {
    return HMENU{static_cast<std::uint32_t>(nId)};
}

}  // namespace vesk::platform
