#include "web_browser.h"

#include "demo_forum.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace vesk {
namespace {

// Records the addresses that the desktop was asked to open, instead of opening them.
class DesktopRecorder final : public QObject {
    Q_OBJECT

public:
    DesktopRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
    ~DesktopRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Png() {
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs a script in the view's own world (the page's scripts are off) and returns its value.
QVariant Evaluate(QWebEngineView* pView, const QString& script) {
    QVariant result;
    bool bDone = false;
    pView->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                 [&](const QVariant& value) {
                                     result = value;
                                     bDone = true;
                                 });
    return QTest::qWaitFor([&] { return bDone; }, 10000) ? result : QVariant();
}

TEST(WebBrowserTest, APageLoadsItsStyleSheetAndWebImagesButNoOtherFileAndRunsNoScript) {
    demo::DemoForum forum;
    ASSERT_TRUE(forum.Start());
    forum.SetPage("/picture.png", Png().toStdString());
    QTemporaryDir pageDir;
    QTemporaryDir otherDir;
    const QString page = pageDir.filePath(QStringLiteral("post.htm"));
    const QString css = pageDir.filePath(QStringLiteral("vesk3.css"));
    Write(css, "body { background-color: rgb(1, 2, 3); }");
    Write(pageDir.filePath(QStringLiteral("beside.png")), Png());
    Write(otherDir.filePath(QStringLiteral("secret.png")), Png());
    const QString remote = QString::fromStdString(forum.BaseAddress()) + "/picture.png";
    Write(page,
          QStringLiteral("<html><head><link href=\"vesk3.css\" rel=\"stylesheet\">"
                         "<script>document.title = 'script ran';</script></head><body>"
                         "<img id=other src=\"%1\"><img id=beside src=\"beside.png\">"
                         "<img id=remote src=\"%2\">"
                         "<a id=link href=\"%3/look,1,2.html\" style=\"display:block;"
                         "width:300px;height:60px\">a post's link</a></body></html>")
              .arg(QUrl::fromLocalFile(otherDir.filePath(QStringLiteral("secret.png"))).toString(),
                   remote, QString::fromStdString(forum.BaseAddress()))
              .toUtf8());

    CWebBrowser2 browser;
    browser.resize(600, 400);
    browser.show();
    browser.AllowLocalFiles({page, css});
    QSignalSpy loaded(browser.View(), &QWebEngineView::loadFinished);
    browser.Navigate(QStringLiteral("file:///") + page);
    ASSERT_TRUE(loaded.wait(20000));
    ASSERT_TRUE(loaded.front().front().toBool());

    const QJsonArray facts =
        QJsonDocument::fromJson(
            Evaluate(browser.View(),
                     QStringLiteral("JSON.stringify([document.title,"
                                    " getComputedStyle(document.body).backgroundColor,"
                                    " other.naturalWidth, beside.naturalWidth,"
                                    " remote.naturalWidth])"))
                .toString()
                .toUtf8())
            .array();
    ASSERT_EQ(facts.size(), 5);
    EXPECT_NE(facts[0].toString(), QStringLiteral("script ran"));
    EXPECT_EQ(facts[1].toString(), QStringLiteral("rgb(1, 2, 3)"));
    EXPECT_EQ(facts[2].toInt(), 0) << "a file of another folder loaded";
    EXPECT_EQ(facts[3].toInt(), 0) << "a file beside the page loaded";
    EXPECT_EQ(facts[4].toInt(), 7) << "the web picture did not load";

    // A link clicked goes to the desktop's browser; the view keeps the page.
    DesktopRecorder desktop;
    const QJsonArray box =
        QJsonDocument::fromJson(
            Evaluate(
                browser.View(),
                QStringLiteral("var r = link.getBoundingClientRect();"
                               " JSON.stringify([r.left + r.width / 2, r.top + r.height / 2])"))
                .toString()
                .toUtf8())
            .array();
    ASSERT_EQ(box.size(), 2);
    QWidget* pSurface = browser.View()->focusProxy();
    ASSERT_NE(pSurface, nullptr);
    const QPoint centre(box[0].toInt(), box[1].toInt());
    QTest::mouseClick(pSurface, Qt::LeftButton, {}, centre);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 10000));
    EXPECT_EQ(desktop.opened.front().toString(),
              QString::fromStdString(forum.BaseAddress()) + "/look,1,2.html");
    QTest::qWait(300);
    EXPECT_EQ(browser.Url(), QUrl::fromLocalFile(page));
}

}  // namespace
}  // namespace vesk

#include "web_browser_test.moc"
