#pragma once

#include <QFrame>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace vesk {

// The library's search box above the page: the words, the starter's posts alone, earlier texts
// too, and what the last search found. It asks for a search a moment after the reader stops
// typing, or at once on Enter or a change of the boxes.
class SearchBar final : public QFrame {
    Q_OBJECT

public:
    static constexpr int kPauseMs = 300;

    explicit SearchBar(QWidget* pParent = nullptr);

    QString Words() const;
    bool StarterOnly() const;
    bool Earlier() const;
    // Shows the bar with the words selected, ready for typing.
    void Summon();
    void SetStatus(const QString& text);
    QString Status() const;
    QLineEdit* Edit() const { return m_pEdit; }

signals:
    void searchAsked();
    void closed();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    QLineEdit* m_pEdit;
    QCheckBox* m_pStarter;
    QCheckBox* m_pEarlier;
    QLabel* m_pStatus;
    QToolButton* m_pClose;
    QTimer* m_pPause;
};

}  // namespace vesk
