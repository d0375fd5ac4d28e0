#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vesk {

// A thin bar for what the user must know now, never modal: an icon, one sentence, a close
// button, and where it helps one action button and an address shown for copying.
class MessageBar final : public QFrame {
    Q_OBJECT

public:
    enum class Level { kInformation, kWarning, kError };

    explicit MessageBar(QWidget* pParent = nullptr);

    // Shows the sentence; a non-empty action names the button that emits actionTriggered, and a
    // non-empty detail is shown selectable beside the sentence.
    void ShowMessage(Level level, const QString& text, const QString& action = {},
                     const QString& detail = {});
    QString Text() const;
    QString Detail() const;
    QString ActionText() const;
    Level CurrentLevel() const { return m_level; }

signals:
    void actionTriggered();
    // Shown or hidden, by the program or by its close button.
    void shownChanged(bool bShown);

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    Level m_level = Level::kInformation;
    QLabel* m_pIcon;
    QLabel* m_pText;
    QLineEdit* m_pDetail;
    QPushButton* m_pAction;
    QToolButton* m_pClose;
};

}  // namespace vesk
