#include "files/ui/CThumbnailDlg.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <memory>

#include "ui/DialogUnits.h"
#include "files/FileTexts.h"
#include "files/ThumbnailPainter.h"
#include "files/ThumbnailStore.h"
#include "imaging/Dc.h"

namespace {

constexpr int kWidthUnits = 540; // dialog resource 147
constexpr int kHeightUnits = 531;

} // namespace

CThumbnailDlg::CThumbnailDlg(ThumbnailStore& store, const DibImage& skin, QWidget* parent, bool japanese)
    : QDialog(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
            | Qt::WindowCloseButtonHint)
    , m_Store(store)
    , m_Skin(skin)
    , m_Grid(store.thumbWidth(), store.thumbHeight())
    , m_Commands(store)
    , m_Confirm([this](const QString& question) { return AskYesNo(this, question); })
    , m_Japanese(japanese)
{
    setObjectName(QStringLiteral("147"));
    setWindowTitle(FileTexts::BrowserTitle(japanese) + FileTexts::SkippedNames(japanese, store.skippedNames()));
    setSizeGripEnabled(true);
    m_ScrollBar = new QScrollBar(Qt::Vertical, this);
    m_ScrollBar->setObjectName(QString::number(kScrollBarId));
    m_ScrollBar->setSingleStep(1);
    m_ScrollBar->setPageStep(2);
    connect(m_ScrollBar, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    resize(DialogUnitsToPixelsX(kWidthUnits), DialogUnitsToPixelsY(kHeightUnits));
    updateScrollRange();
    m_ScrollBar->setValue(0);
}

int CThumbnailDlg::scrollPosition() const
{
    return m_ScrollBar->isEnabled() ? m_ScrollBar->value() : 0;
}

void CThumbnailDlg::updateScrollRange()
{
    const ScrollBarState bar = m_Grid.BrowserScrollBar(clientSize(), m_Store.count());
    m_ScrollBar->setEnabled(bar.shown);
    m_ScrollBar->setRange(bar.min, bar.shown ? bar.lastPosition() : 0);
}

void CThumbnailDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Dc dc(painter);
    TileBackground(dc, clientSize(), m_Skin);
    DrawThumbnailBrowser(dc, m_Grid, clientSize(), scrollPosition(), m_Store, m_Skin);
}

void CThumbnailDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // At the right edge, full height, keeping the style's width.
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_ScrollBar->setGeometry(width() - barWidth, 0, barWidth, height());
    updateScrollRange();
    update();
}

void CThumbnailDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const int i = m_Grid.BrowserHit(clientSize(), scrollPosition(), m_Store.count(), { p.x(), p.y() });
    if (i >= 0)
        done(kOpenBase + i);
}

void CThumbnailDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    const int i = m_Grid.BrowserHit(clientSize(), scrollPosition(), m_Store.count(), { p.x(), p.y() });
    if (i < 0)
        return;
    m_ContextIndex = i;
    const std::unique_ptr<QMenu> menu(MakeThumbnailMenu(this, m_Japanese));
    runCommand(m_RunMenu ? m_RunMenu(*menu, event->globalPosition().toPoint()) : 0);
}

void CThumbnailDlg::wheelEvent(QWheelEvent* event)
{
    const ScrollBarState bar = m_Grid.BrowserScrollBar(clientSize(), m_Store.count());
    const ScrollAction action = event->angleDelta().y() > 0 ? ScrollAction::LineUp : ScrollAction::LineDown;
    m_ScrollBar->setValue(ThumbnailGrid::BrowserScroll(bar, scrollPosition(), action));
}

void CThumbnailDlg::runCommand(int command)
{
    switch (command) {
    case FileTexts::kMenuOpen:
        if (m_ContextIndex >= 0 && m_ContextIndex < m_Store.count())
            done(kOpenBase + m_ContextIndex);
        return;
    case FileTexts::kMenuRemove:
        m_Commands.Remove(m_ContextIndex, m_Confirm, m_Japanese);
        break;
    case FileTexts::kMenuTrash:
        m_Commands.Trash(m_ContextIndex);
        break;
    default:
        return;
    }
    updateScrollRange();
    update();
}
