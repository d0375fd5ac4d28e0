#pragma once

#include <QString>

namespace vesk {

// A bundled file copied out, readable by everyone and writable by its owner.
void CopyReadable(const QString& source, const QString& target);

// Writes the bundled help page and its style sheet into the folder for the desktop's browser,
// without the page's way back to the start page (which only the window shows). The page's
// path, or empty when it could not be written.
QString WriteHelpPage(const QString& folder);

}  // namespace vesk
