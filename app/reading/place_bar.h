#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;

namespace vesk {

// Under a kept thread's page: where in the whole thread the reader is ("第 N / M 帖"), and the
// jumps to its first post, its end and a floor typed.
class PlaceBar final : public QFrame {
    Q_OBJECT

public:
    explicit PlaceBar(QWidget* pParent = nullptr);

    // The post at the top, counted from 1 (0 before it is known), of nTotal rows, nDeleted of
    // them posts the board no longer shows.
    void SetPlace(int nPost, int nTotal, int nDeleted);
    QString PlaceText() const;
    // The floor edit takes the keys.
    void FocusFloor();
    QLineEdit* FloorEdit() const { return m_pFloor; }

signals:
    void toEnd(bool bEnd);
    void toFloor(int nFloor);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Jump();

    QLabel* m_pPlace;
    QLineEdit* m_pFloor;
};

}  // namespace vesk
