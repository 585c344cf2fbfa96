// Conversions between our Rect (right and bottom exclusive) and QRect.
#pragma once

#include <QRect>

#include "imaging/Rect.h"

inline QRect toQRect(const Rect& r)
{
    return QRect(r.left, r.top, r.width(), r.height());
}
inline Rect toRect(const QRect& r)
{
    return { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
}
