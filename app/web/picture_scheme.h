#pragma once

#include "post_sanitiser.h"

#include <QByteArray>
#include <QWebEngineUrlScheme>

namespace vesk {

// The scheme our pages name kept pictures by, "vesk-picture:<SHA-256 in hex>". The web engine
// must know it before the application starts.
inline const QByteArray kPictureSchemeName(kPictureScheme.data(),
                                           static_cast<qsizetype>(kPictureScheme.size()));

inline void RegisterPictureScheme() {
    QWebEngineUrlScheme scheme(kPictureSchemeName);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Served from the library on this machine, to the window's local pages.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

}  // namespace vesk
