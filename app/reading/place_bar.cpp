#include "place_bar.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace vesk {

PlaceBar::PlaceBar(QWidget* pParent)
    : QFrame(pParent), m_pPlace(new QLabel(this)), m_pFloor(new QLineEdit(this)) {
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(4, 1, 4, 1);
    pLayout->addWidget(m_pPlace);
    pLayout->addStretch();
    const auto button = [&](const QString& text, const QString& tip, auto slot) {
        auto* pButton = new QToolButton(this);
        pButton->setText(text);
        pButton->setToolTip(tip);
        pButton->setAutoRaise(true);
        connect(pButton, &QToolButton::clicked, this, slot);
        pLayout->addWidget(pButton);
    };
    button(QStringLiteral("1楼"), QStringLiteral("到第一帖"), [this] { emit toEnd(false); });
    button(QStringLiteral("末帖"), QStringLiteral("到最后一帖"), [this] { emit toEnd(true); });
    m_pFloor->setPlaceholderText(QStringLiteral("楼层"));
    m_pFloor->setToolTip(QStringLiteral("输入楼层，按回车跳转（Ctrl+G）"));
    m_pFloor->setValidator(new QIntValidator(1, 99999999, m_pFloor));
    m_pFloor->setMaximumWidth(80);
    pLayout->addWidget(m_pFloor);
    // Enter in the edit jumps, and goes no further: the window's default button is the go.
    m_pFloor->installEventFilter(this);
    button(QStringLiteral("跳转"), QStringLiteral("跳到这一楼"), [this] { Jump(); });
    hide();
}

void PlaceBar::Jump() {
    bool bNumber = false;
    const int nFloor = m_pFloor->text().toInt(&bNumber);
    if (bNumber) {
        emit toFloor(nFloor);
    }
}

bool PlaceBar::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pFloor && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            Jump();
            return true;
        }
    }
    return QFrame::eventFilter(pWatched, pEvent);
}

void PlaceBar::SetPlace(int nPost, int nTotal, int nDeleted) {
    // The deleted posts are rows of the page, but the board and the home page no longer count
    // them.
    const QString deleted =
        nDeleted > 0 ? QStringLiteral("（含已删除 %1 帖）").arg(nDeleted) : QString();
    m_pPlace->setText(nPost > 0
                          ? QStringLiteral("第 %1 / %2 帖%3").arg(nPost).arg(nTotal).arg(deleted)
                          : QStringLiteral("共 %1 帖%2").arg(nTotal).arg(deleted));
}

QString PlaceBar::PlaceText() const {
    return m_pPlace->text();
}

void PlaceBar::FocusFloor() {
    m_pFloor->setFocus();
    m_pFloor->selectAll();
}

}  // namespace vesk
