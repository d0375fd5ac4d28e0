#include "message_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vesk {

MessageBar::MessageBar(QWidget* pParent)
    : QFrame(pParent),
      m_pIcon(new QLabel(this)),
      m_pText(new QLabel(this)),
      m_pDetail(new QLineEdit(this)),
      m_pAction(new QPushButton(this)),
      m_pClose(new QToolButton(this)) {
    setObjectName(QStringLiteral("messageBar"));
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pDetail->setReadOnly(true);
    m_pDetail->setFrame(false);
    m_pClose->setAutoRaise(true);
    m_pClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_pClose->setToolTip(QStringLiteral("关闭"));
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(6, 2, 2, 2);
    pLayout->addWidget(m_pIcon);
    pLayout->addWidget(m_pText);
    pLayout->addWidget(m_pDetail, 1);
    pLayout->addStretch();
    pLayout->addWidget(m_pAction);
    pLayout->addWidget(m_pClose);
    connect(m_pAction, &QPushButton::clicked, this, &MessageBar::actionTriggered);
    connect(m_pClose, &QToolButton::clicked, this, &MessageBar::hide);
    hide();
}

void MessageBar::ShowMessage(Level level, const QString& text, const QString& action,
                             const QString& detail) {
    // A tinted background and a darker frame of the level's colour, as desktop message bars have.
    static const char* const kColours[][2] = {
        {"#e3f0fb", "#3d8ee0"}, {"#fdf3d8", "#d9a400"}, {"#fbe4e4", "#d9534f"}};
    const auto* pColours = kColours[static_cast<int>(level)];
    setStyleSheet(QStringLiteral("#messageBar { background: %1; border: 1px solid %2; "
                                 "border-radius: 3px; } #messageBar QLineEdit { background: %1; }")
                      .arg(QLatin1String(pColours[0]), QLatin1String(pColours[1])));
    static const QStyle::StandardPixmap kIcons[] = {QStyle::SP_MessageBoxInformation,
                                                    QStyle::SP_MessageBoxWarning,
                                                    QStyle::SP_MessageBoxCritical};
    m_pIcon->setPixmap(style()->standardIcon(kIcons[static_cast<int>(level)]).pixmap(16, 16));
    m_level = level;
    m_pText->setText(text);
    m_pDetail->setText(detail);
    m_pDetail->setVisible(!detail.isEmpty());
    m_pDetail->setCursorPosition(0);
    m_pAction->setText(action);
    m_pAction->setVisible(!action.isEmpty());
    show();
}

QString MessageBar::Text() const {
    return m_pText->text();
}

QString MessageBar::Detail() const {
    return m_pDetail->text();
}

QString MessageBar::ActionText() const {
    return m_pAction->isHidden() ? QString() : m_pAction->text();
}

void MessageBar::showEvent(QShowEvent* pEvent) {
    QFrame::showEvent(pEvent);
    emit shownChanged(true);
}

void MessageBar::hideEvent(QHideEvent* pEvent) {
    QFrame::hideEvent(pEvent);
    // Hidden itself, not with its window.
    if (isHidden()) {
        emit shownChanged(false);
    }
}

}  // namespace vesk
