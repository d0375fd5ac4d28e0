#include "search_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace vesk {

SearchBar::SearchBar(QWidget* pParent)
    : QFrame(pParent),
      m_pEdit(new QLineEdit(this)),
      m_pStarter(new QCheckBox(QStringLiteral("只看楼主"), this)),
      m_pEarlier(new QCheckBox(QStringLiteral("含修改前的内容"), this)),
      m_pStatus(new QLabel(this)),
      m_pClose(new QToolButton(this)),
      m_pPause(new QTimer(this)) {
    setObjectName(QStringLiteral("searchBar"));
    setFrameShape(QFrame::StyledPanel);
    m_pEdit->setPlaceholderText(QStringLiteral("搜索帖子库：所有帖子的正文、作者和标题"));
    m_pEdit->setClearButtonEnabled(true);
    m_pEdit->setMinimumWidth(220);
    m_pStatus->setStyleSheet(QStringLiteral("color:#555"));
    m_pClose->setText(QStringLiteral("×"));
    m_pClose->setToolTip(QStringLiteral("关闭搜索 (Esc)"));
    m_pClose->setAutoRaise(true);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(6, 3, 3, 3);
    pLayout->addWidget(new QLabel(QStringLiteral("搜索"), this));
    pLayout->addWidget(m_pEdit, 1);
    pLayout->addWidget(m_pStarter);
    pLayout->addWidget(m_pEarlier);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(m_pClose);

    m_pPause->setSingleShot(true);
    m_pPause->setInterval(kPauseMs);
    connect(m_pPause, &QTimer::timeout, this, &SearchBar::searchAsked);
    connect(m_pEdit, &QLineEdit::textEdited, m_pPause, qOverload<>(&QTimer::start));
    // The clear button empties the box without an edit of the reader's.
    connect(m_pEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            m_pPause->start();
        }
    });
    const auto now = [this] {
        m_pPause->stop();
        emit searchAsked();
    };
    connect(m_pEdit, &QLineEdit::returnPressed, this, now);
    connect(m_pStarter, &QCheckBox::toggled, this, now);
    connect(m_pEarlier, &QCheckBox::toggled, this, now);
    connect(m_pClose, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
}

QString SearchBar::Words() const {
    return m_pEdit->text().trimmed();
}

bool SearchBar::StarterOnly() const {
    return m_pStarter->isChecked();
}

bool SearchBar::Earlier() const {
    return m_pEarlier->isChecked();
}

void SearchBar::Summon() {
    show();
    m_pEdit->setFocus();
    m_pEdit->selectAll();
}

void SearchBar::SetStatus(const QString& text) {
    m_pStatus->setText(text);
}

QString SearchBar::Status() const {
    return m_pStatus->text();
}

void SearchBar::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Escape) {
        hide();
        emit closed();
        return;
    }
    // Enter in the box has asked for the search; it goes no further, to the window's go.
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        pEvent->accept();
        return;
    }
    QFrame::keyPressEvent(pEvent);
}

}  // namespace vesk
