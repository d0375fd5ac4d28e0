#pragma once

#include <string>
#include <string_view>

namespace vesk {

// Text for a terminal: a control character, which a terminal would act on (a forum title can hold
// escape sequences), is written as \xHH, but TAB, CR and LF, which the caller's format places
// itself. In UTF-8 text (bUtf8) the C1 controls U+0080 to U+009F are written so too, byte by byte;
// in GB2312 those bytes lead or end characters and stay.
std::string TerminalSafe(std::string_view text, bool bUtf8);

}  // namespace vesk
