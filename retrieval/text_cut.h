#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vesk {

// Plain byte-wise search for a marker at or after nFrom; npos when absent.
std::size_t FindMarker(std::string_view text, std::string_view marker, std::size_t nFrom = 0);

// The text strictly between the first occurrence of strStart and the first occurrence of strEnd
// that begins after it; empty when either is missing. Exact and case-sensitive. The result views
// into text.
std::string_view ExtractBetween(std::string_view text, std::string_view strStart,
                                std::string_view strEnd);

// The longest prefix of text, at most nMax bytes, that does not split a two-byte GB2312
// character (a byte from 0x81 to 0xFE leads one, scanning from the start).
std::size_t FitLength(std::string_view text, std::size_t nMax);

// Copies text into a fixed field of nSize bytes, zero-terminated, cut at a whole character when
// it does not fit. Never writes past the field.
void CopyToField(char* pszField, std::size_t nSize, std::string_view text);

template <std::size_t N>
void CopyToField(char (&szField)[N], std::string_view text) {
    CopyToField(szField, N, text);
}

// Stores a post body in a 2048-byte field: whole when it has at most 2047 bytes; otherwise its
// first 2038 bytes (2037 when the 2038th would split a character) followed by "......".
void StoreContent(char (&szContent)[2048], std::string_view body);

// The decimal value at the start of text as the C library's atoi reads it (white space, a sign,
// digits), 0 when there are no digits; values beyond the 32-bit range are held at its ends.
std::int32_t ParseFloor(std::string_view text);

// Whether markup of this name (ASCII, any case: "<div", "script") begins at text[n] and ends
// there, followed by a tag's end, a blank, a slash or the text's end.
bool IsTagAt(std::string_view text, std::size_t n, std::string_view name);

// Removes white space (blank, tab, CR, LF, vertical tab, form feed) from both ends.
std::string_view TrimWhiteSpace(std::string_view text);

}  // namespace vesk
