// The colour dialog's swatches, placement and chooser.
#include "dialogs/ui/CColorSetDlg.h"

#include <QColorDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "ui/QtRect.h"
#include "ui/CursorPlacement.h"
#include "ui/DialogForm.h"

namespace {

constexpr QSize kSwatchSize(64, 20);

QColor toQColor(ColorRef c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

std::optional<ColorRef> askColor(QWidget* parent, ColorRef preset)
{
    const QColor chosen = QColorDialog::getColor(toQColor(preset), parent);
    if (!chosen.isValid())
        return std::nullopt;
    // COLORREF order: never QColor::rgb(), which is 0xAARRGGBB.
    return Rgb(uint8_t(chosen.red()), uint8_t(chosen.green()), uint8_t(chosen.blue()));
}

} // namespace

CColorSetDlg::CColorSetDlg(ColorRef text, ColorRef line, QPoint cursor, QWidget* parent)
    : QDialog(parent)
    , chooseColor([this](ColorRef preset) { return askColor(this, preset); })
    , m_Model(text, line)
{
    setWindowTitle(DialogForm::text("Color setting", "色設定"));
    m_Line = swatch(IDC_LINE_COLOR);
    m_Text = swatch(IDC_TEXT_COLOR);
    DialogForm form(this);
    form.row(DialogForm::text("Line color", "測定ライン用"), m_Line, IDC_LINE_COLOR);
    form.row(DialogForm::text("Text color", "測定結果テキスト用"), m_Text, IDC_TEXT_COLOR);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    form.wide(ok, IDOK);
    OnInitDialog(cursor);
}

QFrame* CColorSetDlg::swatch(int id)
{
    auto* frame = new QFrame(this);
    frame->setObjectName(QString::number(id));
    frame->setFrameShape(QFrame::Box);
    frame->setFixedSize(kSwatchSize);
    // The dialog fills the swatch and takes the clicks on it, as with a static frame.
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

QWidget* CColorSetDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

void CColorSetDlg::OnInitDialog(QPoint cursor)
{
    adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const Rect available = screen ? toRect(screen->availableGeometry()) : Rect {};
    const QSize size = frameSize().expandedTo(this->size());
    const Point p = dialogPositionAtCursor(
        { cursor.x(), cursor.y() }, { kCursorOffset, kCursorOffset }, { size.width(), size.height() }, available);
    move(p.x, p.y);
}

void CColorSetDlg::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    OnPaint(painter);
}

void CColorSetDlg::OnPaint(QPainter& painter)
{
    painter.fillRect(m_Line->geometry(), toQColor(m_Model.line()));
    painter.fillRect(m_Text->geometry(), toQColor(m_Model.text()));
}

void CColorSetDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(event->position().toPoint());
    QDialog::mouseReleaseEvent(event);
}

void CColorSetDlg::OnLButtonUp(QPoint point)
{
    if (m_Model.release({ point.x(), point.y() }, toRect(m_Line->geometry()), toRect(m_Text->geometry()), chooseColor))
        update();
}
