#pragma once

#include <QTest>
#include <QVariant>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace vesk {

// Runs a script in the view's own world (the page's scripts are off) and returns its value.
inline QVariant Evaluate(QWebEngineView* pView, const QString& script) {
    QVariant result;
    bool bDone = false;
    pView->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                 [&](const QVariant& value) {
                                     result = value;
                                     bDone = true;
                                 });
    return QTest::qWaitFor([&] { return bDone; }, 10000) ? result : QVariant();
}

}  // namespace vesk
