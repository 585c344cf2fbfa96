// Recording the live picture in the main window: REC starts and stops a video of the save folder, fed from
// here with each new frame (the whole frame, or what the view shows, with the measurement drawing when
// asked); the encoding runs on the recorder's thread. A right click on REC chooses what is recorded. The
// caption shows a red dot, the time and the size while it runs.
#include <QAbstractButton>
#include <QCursor>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>

#include <cstring>

#include "app/DialogTemplate.h"
#include "app/ViewerDlgPrivate.h"
#include "files/CaptureName.h"
#include "files/FileTexts.h"
#include "imaging/Dc.h"
#include "platform/Language.h"

namespace {

// The recorder's frame rate hint when the camera has not said yet.
constexpr double kDefaultFramesPerSecond = 15.0;

// Menu ids of the REC button's menu.
constexpr int kRecordFrame = 1;
constexpr int kRecordView = 2;
constexpr int kRecordOverlay = 3;

// A 24-bit copy of a top-down view image.
bool copyView(const QImage& image, DibImage& out)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull() || !out.Create(bgr.width(), bgr.height(), 24))
        return false;
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(out.rowTopDown(y), bgr.constScanLine(y), size_t(bgr.width()) * 3);
    return true;
}

} // namespace

void CViewerDlg::Private::createRecording()
{
    QWidget* button = control(IDC_REC);
    connect(static_cast<QAbstractButton*>(button), &QAbstractButton::clicked, q, [this] { OnRecord(); });
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, q, [this] { OnRecordMenu(); });
    button->setToolTip(FileTexts::RecordTip(g_bJapanese != 0));
}

bool CViewerDlg::Private::recording() const
{
    return m_Recorder && m_Recorder->status().recording;
}

void CViewerDlg::Private::OnRecord()
{
    if (m_Recorder) {
        stopRecording();
        return;
    }
    const bool ja = g_bJapanese != 0;
    if (m_bLiveStopped) {
        m_Prompts.tellCapture(FileTexts::RecordNeedsLive(ja));
        return;
    }
    const CaptureOptions& options = m_Session.captureOptions();
    const ViewGeometry view = shownGeometry(); // the composed picture, in device pixels
    const DibImage& picture = pictureInUse();
    VideoRecorder::Options o;
    o.width = options.recordView ? view.deviceWidth() : picture.width();
    o.height = options.recordView ? view.deviceHeight() : picture.height();
    o.framesPerSecond = kDefaultFramesPerSecond;
    const QString base = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    o.path = CaptureName::FreePath(
        m_Thumbnails.saveFolder(), base, QStringLiteral("mp4"), [](const QString& p) { return QFileInfo::exists(p); });
    auto recorder = std::make_unique<VideoRecorder>();
    QString error;
    if (o.path.isEmpty() || !recorder->start(o, &error)) {
        m_Prompts.tellCapture(FileTexts::RecordNotStarted(ja, error));
        return;
    }
    m_Recorder = std::move(recorder);
    m_RecordPath = o.path;
    m_RecordedFrame = 0;
    m_RecordSkipped = 0;
    control(IDC_REC)->update();
    feedRecorder();
}

void CViewerDlg::Private::feedRecorder()
{
    if (!m_Recorder)
        return;
    const CaptureOptions& options = m_Session.captureOptions();
    DibImage frame;
    int64_t timeUs = 0;
    uint64_t number = 0;
    if (options.recordView) {
        const ViewPicture& shown = m_Live.shownPicture();
        if (shown.frameNumber == 0 || shown.frameNumber == m_RecordedFrame || !copyView(shown.image, frame))
            return;
        number = shown.frameNumber;
        timeUs = shown.frameTimeUs;
        if (options.recordOverlay) {
            Dc dc(frame);
            const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
            drawFinished(dc, AtDevicePixels(shown.geometry), colors);
        }
    } else {
        if (m_Live.lastFrame().number == m_RecordedFrame)
            return;
        FrameStamp stamp;
        if (!m_Live.takePicture(frame, &stamp) || stamp.number == 0)
            return;
        number = stamp.number;
        timeUs = stamp.timeUs;
        if (options.recordOverlay) {
            DibImage colour;
            if (frame.bitsPerPixel() != 24 && CopyTo24(frame, colour))
                frame = std::move(colour);
            drawOverlayForSave(frame);
        }
    }
    // Frames the window did not see (it was busy) are counted with those the recorder had no room for.
    if (m_RecordedFrame != 0 && number > m_RecordedFrame + 1)
        m_RecordSkipped += number - m_RecordedFrame - 1;
    m_RecordedFrame = number;
    m_Recorder->push(std::move(frame), timeUs);
}

void CViewerDlg::Private::checkRecording()
{
    if (!m_Recorder)
        return;
    const VideoRecorder::Status s = m_Recorder->status();
    if (!s.failed)
        return;
    stopRecording();
    m_Prompts.tellCapture(FileTexts::RecordFailed(g_bJapanese != 0, s.error));
}

void CViewerDlg::Private::stopRecording()
{
    if (!m_Recorder)
        return;
    m_Recorder->stop();
    m_Recorder.reset();
    // The video comes into the strip with its first frame, when anything of it was written.
    if (QFileInfo(m_RecordPath).size() > 0 && m_Thumbnails.AddFile(m_RecordPath)) {
        UpdateStripScrollBar();
        InvalidateStrip();
    }
    control(IDC_REC)->update();
    q->setWindowTitle(captionFor(m_Live.status()));
}

QString CViewerDlg::Private::recordNote() const
{
    if (!m_Recorder)
        return {};
    const VideoRecorder::Status s = m_Recorder->status();
    return QStringLiteral("  -  ")
        + FileTexts::Recording(g_bJapanese != 0, s.durationUs / 1000000, s.bytes, s.dropped + m_RecordSkipped);
}

void CViewerDlg::Private::OnRecordMenu()
{
    if (m_Recorder)
        return; // what is recorded stays as it was started
    CaptureOptions& options = m_Session.captureOptions();
    const bool ja = g_bJapanese != 0;
    QMenu menu(q);
    const auto add = [&menu](const QString& text, int id, bool checked) {
        QAction* a = menu.addAction(text);
        a->setCheckable(true);
        a->setChecked(checked);
        a->setData(id);
    };
    add(FileTexts::RecordWholeFrame(ja), kRecordFrame, !options.recordView);
    add(FileTexts::RecordView(ja), kRecordView, options.recordView);
    menu.addSeparator();
    add(FileTexts::RecordWithLines(ja), kRecordOverlay, options.recordOverlay);
    switch (m_Prompts.files.runMenu(menu, QCursor::pos())) {
    case kRecordFrame:
        options.recordView = false;
        break;
    case kRecordView:
        options.recordView = true;
        break;
    case kRecordOverlay:
        options.recordOverlay = !options.recordOverlay;
        break;
    default:
        break;
    }
}
