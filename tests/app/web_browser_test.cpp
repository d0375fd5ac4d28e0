#include "web_browser.h"

#include "demo_forum.h"
#include "pixel_rows.h"
#include "shell.h"
#include "web_eval.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
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

// A browser shown on a page of a folder of its own, and the demo forum for its web addresses.
class WebBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(forum.Start());
        browser.resize(600, 400);
        browser.show();
    }
    // Whether the page loads whole.
    bool Load() {
        loaded.clear();
        browser.Navigate(QStringLiteral("file:///") + page);
        return loaded.wait(20000) && loaded.front().front().toBool();
    }
    demo::DemoForum forum;
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("post.htm"));
    CWebBrowser2 browser;
    QSignalSpy loaded{browser.View(), &QWebEngineView::loadFinished};
};

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Png() {
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    return test::PngBytes(image);
}

TEST_F(WebBrowserTest, APageLoadsItsStyleSheetAndWebImagesButNoOtherFileAndRunsNoScript) {
    forum.SetPage("/picture.png", Png().toStdString());
    const QString base = QString::fromStdString(forum.BaseAddress());
    QTemporaryDir otherDir;
    const QString css = dir.filePath(QStringLiteral("vesk3.css"));
    Write(css, "body { background-color: rgb(1, 2, 3); }");
    Write(dir.filePath(QStringLiteral("beside.png")), Png());
    Write(otherDir.filePath(QStringLiteral("secret.png")), Png());
    Write(page,
          QStringLiteral("<html><head><link href=\"vesk3.css\" rel=\"stylesheet\">"
                         "<script>document.title = 'script ran';</script></head><body>"
                         "<img id=other src=\"%1\"><img id=beside src=\"beside.png\">"
                         "<img id=remote src=\"%2\">"
                         "<a id=link href=\"%3/look,1,2.html\" style=\"display:block;"
                         "width:300px;height:60px\">a post's link</a></body></html>")
              .arg(QUrl::fromLocalFile(otherDir.filePath(QStringLiteral("secret.png"))).toString(),
                   base + "/picture.png", base)
              .toUtf8());

    browser.AllowLocalFiles({page, css});
    // A page not named online (a page of the library's) asks nothing of the network.
    ASSERT_TRUE(Load());
    EXPECT_EQ(Evaluate(browser.View(), QStringLiteral("remote.naturalWidth")).toInt(), 0);
    EXPECT_EQ(forum.RequestedPaths(), std::vector<std::string>{});
    browser.SetOnlinePages({page});
    ASSERT_TRUE(Load());

    const QVariantList facts =
        Evaluate(browser.View(), QStringLiteral("[document.title,"
                                                " getComputedStyle(document.body).backgroundColor,"
                                                " other.naturalWidth, beside.naturalWidth,"
                                                " remote.naturalWidth]"))
            .toList();
    ASSERT_EQ(facts.size(), 5);
    EXPECT_NE(facts[0].toString(), QStringLiteral("script ran"));
    EXPECT_EQ(facts[1].toString(), QStringLiteral("rgb(1, 2, 3)"));
    EXPECT_EQ(facts[2].toInt(), 0) << "a file of another folder loaded";
    EXPECT_EQ(facts[3].toInt(), 0) << "a file beside the page loaded";
    EXPECT_EQ(facts[4].toInt(), 7) << "the web picture did not load";

    // A link clicked goes to the desktop's browser; the view keeps the page.
    DesktopRecorder desktop;
    ASSERT_TRUE(ClickElement(browser.View(), QStringLiteral("link")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 10000));
    EXPECT_EQ(desktop.opened.front().toString(), base + "/look,1,2.html");
    QTest::qWait(300);
    EXPECT_EQ(browser.Url(), QUrl::fromLocalFile(page));
}

// A post's refresh is refused and told; of the links clicked only the web address goes to the
// desktop. The reader's commands: the context menu, find, zoom, saving the page.
TEST_F(WebBrowserTest, APostNeverTakesTheViewAwayAndOnlyWebLinksOpen) {
    const QString base = QString::fromStdString(forum.BaseAddress());
    QString links;
    const QStringList targets = {
        QStringLiteral("file:///etc/hostname"), QStringLiteral("data:text/html,taken"),
        QStringLiteral("javascript:location='%1/js'").arg(base),
        QStringLiteral("qrc:/vesk/pages/help.html"), base + QStringLiteral("/look,1,2.html")};
    for (qsizetype i = 0; i < targets.size(); ++i) {
        links += QStringLiteral(
                     "<a id=l%1 href=\"%2\" style=\"display:block;height:40px\">link "
                     "words</a>")
                     .arg(i)
                     .arg(targets[i]);
    }
    Write(page, QStringLiteral("<html><head><meta http-equiv=\"refresh\" content=\"0;url=%1/"
                               "refreshed\"></head><body>%2</body></html>")
                    .arg(base, links)
                    .toUtf8());
    browser.AllowLocalFiles({page});
    QList<QUrl> opened, refused;
    platform::SetShellOpenHookForTesting([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    browser.SetNoticeHandler([&](CWebBrowser2::Notice notice, const QUrl& url) {
        EXPECT_EQ(notice, CWebBrowser2::Notice::kNavigationRefused);
        refused.push_back(url);
    });
    ASSERT_TRUE(Load());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !refused.isEmpty(); }, 5000));
    EXPECT_EQ(refused.front(), QUrl(base + QStringLiteral("/refreshed")));
    for (qsizetype i = 0; i < targets.size(); ++i) {
        ASSERT_TRUE(ClickElement(browser.View(), QStringLiteral("l%1").arg(i)));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 10000));
    QTest::qWait(500);
    platform::SetShellOpenHookForTesting({});
    EXPECT_EQ(opened, QList<QUrl>{QUrl(targets.back())});
    EXPECT_EQ(browser.Url(), QUrl::fromLocalFile(page));
    EXPECT_TRUE(forum.RequestedPaths().empty());

    std::unique_ptr<QMenu> pMenu(browser.CreateContextMenu());
    QStringList items;
    for (const QAction* pAction : pMenu->actions()) {
        items += pAction->text();
    }
    EXPECT_EQ(items.join('|'), QStringLiteral("复制|全选||查找…||放大|缩小|重置缩放||页面另存为…"));
    EXPECT_TRUE(pMenu->actions().back()->isEnabled());
    browser.ZoomBy(2);
    EXPECT_DOUBLE_EQ(browser.View()->zoomFactor(), 1.2);
    browser.ZoomBy(0);
    EXPECT_DOUBLE_EQ(browser.View()->zoomFactor(), 1.0);
    browser.ShowFindBar();
    EXPECT_TRUE(browser.FindEdit()->isVisible());
    const QString copy = dir.filePath(QStringLiteral("copy.htm"));
    ASSERT_TRUE(browser.SavePageAs(copy));
    QFile saved(copy), original(page);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), original.readAll());
}

}  // namespace
}  // namespace vesk

#include "web_browser_test.moc"
