// An owner-drawn push button: it draws nothing itself and asks its owner to paint it, as a dialog does for
// its owner-drawn buttons.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include <functional>

#include "imaging/Rect.h"

// Skin sheet id (kSkinButtonsId, ...) in the language's drawing (English where it has none of its own), drawn
// at 2x for a device pixel ratio from 1.5 on (shrunk smoothly below 2): Qt's "@2x" file name gives the pixmap
// its ratio of 2.
QPixmap LoadSkinSheet(int id, bool japanese, qreal devicePixelRatio);
// The cell source of sheet (in window pixels) at the painter's origin, one sheet pixel per device pixel.
void DrawSkinCell(QPainter& painter, const QPixmap& sheet, const Rect& source);

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
