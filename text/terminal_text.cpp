#include "terminal_text.h"

namespace vesk {

std::string TerminalSafe(std::string_view text, bool bUtf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string safe;
    safe.reserve(text.size());
    const auto escape = [&](unsigned char c) {
        safe += "\\x";
        safe += kHex[c >> 4];
        safe += kHex[c & 0x0F];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) {
            escape(c);
        } else if (bUtf8 && c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            escape(c);
            escape(static_cast<unsigned char>(text[++i]));
        } else {
            safe += static_cast<char>(c);
        }
    }
    return safe;
}

}  // namespace vesk
