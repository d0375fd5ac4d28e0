#include "code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace vesk {

namespace {

// What an input unit that cannot be converted becomes: nothing (the conversion fails), or the
// replacement's bytes in the output encoding, skipping nSkip input bytes.
struct Replacement {
    std::string_view bytes;
    std::size_t nSkip = 0;
};

// A converter opened once per thread for each pair of encodings (opening one costs more than
// converting a post), in its initial state.
iconv_t Converter(const char* pszTo, const char* pszFrom) {
    struct Open {
        const char* pszTo;
        const char* pszFrom;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Open> open;
        ~Cache() {
            for (const Open& converter : open) {
                iconv_close(converter.cd);
            }
        }
    };
    thread_local Cache cache;
    for (const Open& converter : cache.open) {
        if (std::strcmp(converter.pszTo, pszTo) == 0 &&
            std::strcmp(converter.pszFrom, pszFrom) == 0) {
            iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
            return converter.cd;
        }
    }
    const iconv_t cd = iconv_open(pszTo, pszFrom);
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        cache.open.push_back({pszTo, pszFrom, cd});
    }
    return cd;
}

std::optional<std::string> Convert(const char* pszTo, const char* pszFrom, std::string_view text,
                                   std::optional<Replacement> replacement = std::nullopt) {
    iconv_t cd = Converter(pszTo, pszFrom);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(text.size() * 2 + 8, '\0');
    // iconv takes a non-const input pointer but does not write through it.
    char* pIn = const_cast<char*>(text.data());
    std::size_t nInLeft = text.size();
    std::size_t nDone = 0;
    bool bOk = true;
    while (nInLeft > 0) {
        char* pOut = out.data() + nDone;
        std::size_t nOutLeft = out.size() - nDone;
        const std::size_t nResult = iconv(cd, &pIn, &nInLeft, &pOut, &nOutLeft);
        nDone = out.size() - nOutLeft;
        if (nResult != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (!replacement) {
            bOk = false;
            break;
        }
        // EILSEQ, or EINVAL for a sequence cut short at the end.
        if (out.size() - nDone < replacement->bytes.size()) {
            out.resize(out.size() * 2 + replacement->bytes.size());
        }
        std::memcpy(out.data() + nDone, replacement->bytes.data(), replacement->bytes.size());
        nDone += replacement->bytes.size();
        const std::size_t nSkip = std::min(replacement->nSkip, nInLeft);
        pIn += nSkip;
        nInLeft -= nSkip;
    }
    if (!bOk) {
        return std::nullopt;
    }
    out.resize(nDone);
    return out;
}

// ASCII is the same bytes in UTF-8 and GBK; such text (an address, most often) goes through as it
// stands, without loading a converter.
bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The code point of the UTF-8 sequence at the text's start and its length; U+FFFD and 1 for a
// byte that begins none.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(0);
    const std::size_t nLength = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (nLength == 0 || nLength > text.size() || c > 0xF4) {
        return {U'\uFFFD', 1};
    }
    char32_t nCode = nLength == 1 ? c : c & (0x7F >> nLength);
    for (std::size_t i = 1; i < nLength; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {U'\uFFFD', 1};
        }
        nCode = nCode << 6 | (byte(i) & 0x3F);
    }
    return {nCode, nLength};
}

}  // namespace

std::string Utf8ToGbkMarkup(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);
    }
    if (std::optional<std::string> whole = Convert("GBK", "UTF-8", text)) {
        return std::move(*whole);
    }
    // Runs that convert, and a reference for each character between them.
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t nRun = 0;
    std::size_t n = 0;
    const auto flush = [&](std::size_t nEnd) {
        if (nEnd > nRun) {
            out += Convert("GBK", "UTF-8", text.substr(nRun, nEnd - nRun)).value_or(std::string());
        }
    };
    while (n < text.size()) {
        const auto [nCode, nLength] = DecodeUtf8(text.substr(n));
        const bool bFits =
            nCode < 0x80 ||
            (nCode != U'\uFFFD' && Convert("GBK", "UTF-8", text.substr(n, nLength)).has_value());
        if (!bFits) {
            flush(n);
            out += "&#" + std::to_string(static_cast<std::uint32_t>(nCode)) + ";";
            nRun = n + nLength;
        }
        n += nLength;
    }
    flush(n);
    return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view text) {
    return IsAscii(text) ? std::string(text) : Convert("GBK", "UTF-8", text);
}

std::optional<std::string> GbkToUtf8(std::string_view text) {
    return IsAscii(text) ? std::string(text) : Convert("UTF-8", "GBK", text);
}

std::string GbkToUtf8Lenient(std::string_view text) {
    // U+FFFD in UTF-8 for a byte that leads no GBK character.
    return IsAscii(text) ? std::string(text)
                         : Convert("UTF-8", "GBK", text, Replacement{"\xEF\xBF\xBD", 1})
                               .value_or(std::string());
}

std::u16string GbkToUtf16(std::string_view text) {
    // U+FFFD in UTF-16LE; a bad lead byte is skipped alone so that the next character survives.
    const std::string bytes =
        Convert("UTF-16LE", "GBK", text, Replacement{"\xFD\xFF", 1}).value_or(std::string());
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return wide;
}

std::string Utf16ToGbk(std::u16string_view text) {
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    // One UTF-16 unit at a time: an unpaired surrogate or a character outside GBK becomes '?'.
    return Convert("GBK", "UTF-16LE", bytes, Replacement{"?", 2}).value_or(std::string());
}

std::vector<char32_t> Utf8CodePoints(std::string_view text) {
    std::vector<char32_t> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x80 && lead < 0xC0) {
            ++i;
            continue;
        }
        const std::size_t nLength = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = nLength == 1 ? lead : lead & (0x7F >> nLength);
        for (std::size_t n = 1; n < nLength && i + n < text.size(); ++n) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        }
        characters.push_back(code);
        i += nLength;
    }
    return characters;
}

}  // namespace vesk
