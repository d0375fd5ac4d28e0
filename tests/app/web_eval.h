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

// Clicks the middle of the element that the script names, once the page has loaded and holds it,
// as a user's mouse would.
inline bool ClickElement(QWebEngineView* pView, const QString& element) {
    const QString find = QStringLiteral(
                             "(function(){var e=%1;if(!e||document.readyState!='complete')"
                             "return null;var r=e.getBoundingClientRect();"
                             "return [r.left+r.width/2,r.top+r.height/2];})()")
                             .arg(element);
    QVariantList at;
    if (!QTest::qWaitFor([&] { return (at = Evaluate(pView, find).toList()).size() == 2; },
                         20000)) {
        return false;
    }
    QTest::mouseClick(pView->focusProxy(), Qt::LeftButton, {},
                      QPoint(at[0].toInt(), at[1].toInt()));
    return true;
}

}  // namespace vesk
