// The owner-drawn push button.
#include "app/SkinButton.h"

#include <QFile>
#include <QPainter>

QPixmap LoadSkinSheet(int id, bool japanese, qreal devicePixelRatio)
{
    const bool sharp = devicePixelRatio >= 1.5;
    for (const int language : { japanese ? 1041 : 1033, 1033 })
        for (const char* suffix : { sharp ? "@2x.png" : ".png", ".png" }) {
            const QString path = QStringLiteral(":/Png/%1/%2%3").arg(language).arg(id).arg(QLatin1String(suffix));
            if (QFile::exists(path))
                return QPixmap(path);
        }
    return {};
}

void DrawSkinCell(QPainter& painter, const QPixmap& sheet, const Rect& source)
{
    const qreal r = sheet.devicePixelRatio();
    if (painter.device() && painter.device()->devicePixelRatioF() != r)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(0, 0, source.width(), source.height()), sheet,
        QRectF(source.left * r, source.top * r, source.width() * r, source.height() * r));
}

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
