// The main of tests that need Qt's font and image machinery, or its widgets: a headless
// application first.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#ifdef VESK_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#ifdef VESK_TEST_WEB
#include "picture_scheme.h"

// Under the sanitizers, what the web engine's libraries do is not the project's to answer for:
// leaks of allocations made inside them, and sized deletes of mismatched types inside Chromium
// when a page goes.
extern "C" const char* __lsan_default_suppressions() {
    // Qt WebEngine (Chromium) keeps process-wide singletons, task runners and caches that it
    // never frees before the process ends.
    return "leak:libQt6WebEngineCore.so\n"
           // Chromium enumerates devices through udev once; udev keeps that list.
           "leak:libudev.so\n"
           // fontconfig loads its configuration and font cache once per process and keeps them.
           "leak:libfontconfig.so\n"
           // In an X display Qt talks to the desktop's message bus, whose client library keeps
           // its connection's buffers for the process.
           "leak:libdbus-1.so\n";
}
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char** argv) {
    // The window keeps what it reads in the user's thread library: the tests' library is theirs.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    // And so are the viewer's settings.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#ifdef VESK_TEST_WEB
    // The web engine as root and without a graphics card; it shares the window's context.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-dev-shm-usage");
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    vesk::RegisterPictureScheme();
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
