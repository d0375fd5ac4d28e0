#pragma once

// The viewer's window on the demo forum, as the window tests drive it.

#include "code_page.h"
#include "demo_forum.h"
#include "image_button.h"
#include "message_bar.h"
#include "process.h"
#include "thread_reader.h"
#include "thread_store.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"
#include "viewer_resources.h"
#include "web_browser.h"
#include "web_eval.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTransform>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace vesk {

inline constexpr int kWait = 20000;

// Whether the condition comes true within kWait.
template <typename Condition>
bool Soon(Condition done) {
    return QTest::qWaitFor(done, kWait);
}

// Answers message boxes with the answer's button once closeWhen allows, keeping what they said.
class Prompts final {
public:
    Prompts() {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (pBox == nullptr || (closeWhen && !closeWhen())) {
                return;
            }
            captions.push_back(pBox->windowTitle());
            texts.push_back(pBox->text());
            icons.push_back(pBox->icon());
            if (QAbstractButton* pButton = pBox->button(answer)) {
                pButton->click();
            } else {
                pBox->done(answer);
            }
        });
        m_timer.start();
    }
    std::function<bool()> closeWhen;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QStringList captions;
    QStringList texts;
    std::vector<QMessageBox::Icon> icons;

private:
    QTimer m_timer;
};

// A window on the demo forum, its page in a folder of its own.
struct Viewer {
    explicit Viewer(demo::DemoForum& forum) : dialog(Settings(forum), folder.path()) {
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    static FetchSettings Settings(const demo::DemoForum& forum) {
        FetchSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        settings.timeouts.stall = std::chrono::seconds(2);
        return settings;
    }
    QLineEdit* Edit(int nId) const { return static_cast<QLineEdit*>(dialog.GetDlgItem(nId)); }
    QRadioButton* Radio(int nId) const {
        return static_cast<QRadioButton*>(dialog.GetDlgItem(nId));
    }
    // Typed key by key; text that no key gives (Chinese) is put in as an input method would.
    void Type(int nId, const QString& text) {
        Edit(nId)->clear();
        bool bAscii = true;
        for (const QChar c : text) {
            bAscii = bAscii && c.unicode() < 0x80;
        }
        if (bAscii) {
            QTest::keyClicks(Edit(nId), text);
        } else {
            Edit(nId)->insert(text);
        }
    }
    void StartFetch(const std::string& strUrl) {
        Type(res::IDC_URL, QString::fromStdString(strUrl));
        QTest::mouseClick(Access(dialog).m_btnGo, Qt::LeftButton);
    }
    bool Fetch(const std::string& strUrl) {
        StartFetch(strUrl);
        return Done();
    }
    // Whether the reading under way ends.
    bool Done() const {
        return Soon([this] { return !dialog.IsFetching(); });
    }
    // The text typed into the edit, then Enter.
    void Enter(int nId, const QString& text) {
        Type(nId, text);
        QTest::keyClick(Edit(nId), Qt::Key_Return);
    }
    MessageBar& Bar() const { return *Access(dialog).m_pBar; }
    QWebEngineView* View() const { return Access(dialog).m_browser->View(); }
    // Whether the view comes to show the file so named; the library's home page when none is.
    bool Showing(QString fileName = {}) const {
        if (fileName.isEmpty()) {
            fileName = QFileInfo(Access(dialog).m_homePath).fileName();
        }
        return Soon([&] { return Access(dialog).m_browser->Url().fileName() == fileName; });
    }
    // The library's home page as written.
    QString Home() const {
        return QString::fromUtf8(test::ReadFile(Access(dialog).m_homePath.toStdString()));
    }
    // Whether a script in the shown page comes to give the value, as text.
    bool Comes(const QString& script, const QString& value) const {
        return Soon([&] { return Evaluate(View(), script).toString() == value; });
    }
    // The ids of the posts on screen, the top one first.
    QStringList OnScreen() const {
        QStringList ids;
        bool bDone = false;
        Access(dialog).m_browser->PostsOnScreen([&](const QStringList& shown, int) {
            ids = shown;
            bDone = true;
        });
        return Soon([&] { return bDone; }) ? ids : QStringList();
    }
    // Whether the post comes on screen; to the top of the view.
    bool ComesOnScreen(const QString& id) const {
        return Soon([&] { return OnScreen().contains(id); });
    }
    bool AtTop(const QString& id) const {
        return Soon([&] { return OnScreen().value(0) == id; });
    }
    // Clicks the last link of the page whose address starts so (a thread's own "打开" rather
    // than its title, which may wrap round the middle of its box).
    bool ClickLink(const QString& prefix) const {
        return ClickElement(
            View(),
            QStringLiteral("[...document.querySelectorAll('a[href^=\"%1\"]')].pop()").arg(prefix));
    }
    // The lowest contrast (as WCAG counts it) of a text on screen against what is behind it, from
    // the view's pixels: in each visible text's box the commonest colour is the background, the one
    // farthest from it the text's. The text where it is lowest is put in worst.
    double LowestContrast(QString& worst) const {
        const QVariantList boxes =
            Evaluate(View(),
                     QStringLiteral(
                         "(function(){var w=document.createTreeWalker(document.body,4),o=[],n,"
                         "r=document.createRange();while((n=w.nextNode())&&o.length<300){"
                         "if(!n.data.trim())continue;r.selectNodeContents(n);"
                         "for(const b of r.getClientRects())if(b.width>=3&&b.height>=8&&b.top>=0&&"
                         "b.bottom<=innerHeight&&b.right<=innerWidth-16)"
                         "o.push([b.left,b.top,b.width,b.height,n.data.trim().slice(0,16)]);}"
                         "return o;})()"))
                .toList();
        const QImage shot = View()->grab().toImage();
        const QTransform zoom = QTransform::fromScale(View()->zoomFactor(), View()->zoomFactor());
        const auto luminance = [](QRgb c) {
            double dSum = 0;
            for (const auto& [nValue, dWeight] :
                 {std::pair{qRed(c), 0.2126}, std::pair{qGreen(c), 0.7152},
                  std::pair{qBlue(c), 0.0722}}) {
                const double d = nValue / 255.0;
                dSum += dWeight * (d <= 0.03928 ? d / 12.92 : std::pow((d + 0.055) / 1.055, 2.4));
            }
            return dSum + 0.05;
        };
        double dLowest = boxes.isEmpty() ? 0 : 21;  // a page not there yet is not readable
        for (const QVariant& box : boxes) {
            const QVariantList b = box.toList();
            const QRect area = zoom.mapRect(QRectF(b[0].toDouble(), b[1].toDouble(),
                                                   b[2].toDouble(), b[3].toDouble()))
                                   .toRect()
                                   .intersected(shot.rect());
            std::map<QRgb, int> colours;
            for (int n = 0; n < area.width() * area.height(); ++n) {
                ++colours[shot.pixel(area.left() + n % area.width(),
                                     area.top() + n / area.width())];
            }
            const auto back = std::max_element(colours.begin(), colours.end(),
                                               [](auto a, auto c) { return a.second < c.second; });
            double dText = 21;
            for (const auto& [colour, nCount] : colours) {
                const double l1 = luminance(colour), l2 = luminance(back->first);
                dText = std::min(dText, std::min(l1, l2) / std::max(l1, l2));
            }
            if (!colours.empty() && 1 / dText < dLowest) {
                dLowest = 1 / dText;
                worst = b[4].toString();
            }
        }
        return dLowest;
    }
    // The result page as UTF-8, empty when it is not there.
    QString Page() const {
        QFile file(QString::fromStdString(Access(dialog).m_strOutputPath));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromStdString(GbkToUtf8(file.readAll().toStdString()).value_or("?"));
    }
    QTemporaryDir folder;
    ViewerDialog dialog;
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(forum.Start()); }
    std::string Thread(const char* pszPath) const { return forum.BaseAddress() + pszPath; }
    QString Address(const char* pszPath) const { return QString::fromStdString(Thread(pszPath)); }
    void Append(const char* pszThread, int nCount, bool bByStarter) {
        forum.ChangeThread(pszThread, [=](demo::SampleThread& thread) {
            demo::AppendSamplePosts(thread, nCount, bByStarter);
        });
    }
    demo::DemoForum forum;
};

// With the user's library, gone after each test.
class ViewerLibraryTest : public ViewerTest {
protected:
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::path(DefaultLibraryFile()).parent_path());
    }
    static std::vector<ThreadListing> Kept() { return ThreadStore(DefaultLibraryFile()).List(); }
    // Reads a thread of the demo forum whole into the library, pictures and all.
    RefreshOutcome KeepThread(const ThreadKey& key) const {
        ThreadStore store(DefaultLibraryFile());
        PageFetcher fetcher;
        EXPECT_TRUE(fetcher.OpenSession());
        RefreshSettings settings;
        settings.strBaseAddress = forum.BaseAddress();
        return RefreshThread(store, fetcher, key, settings);
    }
};

}  // namespace vesk
