#pragma once

// The viewer's window on the demo forum, as the window tests drive it.

#include "code_page.h"
#include "demo_forum.h"
#include "viewer_dialog.h"
#include "viewer_dialog_test_access.h"
#include "viewer_resources.h"
#include "web_eval.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

namespace vesk {

inline constexpr int kWait = 20000;

// A window on the demo forum, its page in a folder of its own.
// Answers the window's message boxes as a user would, with the answer's button, once closeWhen
// allows it, and keeps their captions and texts.
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
        return QTest::qWaitFor([this] { return !dialog.IsFetching(); }, kWait);
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
    demo::DemoForum forum;
};

}  // namespace vesk
