// An owner-drawn push button: it draws nothing itself and asks its owner to paint it, as a dialog does for
// its owner-drawn buttons.
#pragma once

#include <QAbstractButton>

#include <functional>

class SkinButton : public QAbstractButton {
    Q_OBJECT
public:
    // painter, the button, and whether it is held down with the pointer inside it.
    using DrawItem = std::function<void(QPainter&, const SkinButton&, bool pressed)>;

    SkinButton(int id, DrawItem draw, QWidget* parent);
    int id() const { return m_Id; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_Id;
    DrawItem m_Draw;
};
