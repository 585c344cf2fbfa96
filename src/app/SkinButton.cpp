// The owner-drawn push button.
#include "app/SkinButton.h"

#include <QPainter>

SkinButton::SkinButton(int id, DrawItem draw, QWidget* parent)
    : QAbstractButton(parent)
    , m_Id(id)
    , m_Draw(std::move(draw))
{
    setFocusPolicy(Qt::NoFocus);
}

void SkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_Draw)
        m_Draw(painter, *this, isDown());
}
