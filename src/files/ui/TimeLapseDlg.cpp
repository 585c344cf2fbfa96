#include "files/ui/TimeLapseDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

#include "ui/DialogForm.h"

namespace {
constexpr int kIdButtons = 1110;
} // namespace

TimeLapseDlg::TimeLapseDlg(const TimeLapseOptions& options, double minIntervalSeconds, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(DialogForm::text("Time-lapse", "タイムラプス"));
    m_Interval = new QDoubleSpinBox(this);
    m_Interval->setDecimals(2);
    // Up to the next hundredth: a shorter interval than one frame would only repeat frames.
    const double frame = std::ceil(std::max(minIntervalSeconds, 0.0) * 100.0 - 1e-6) / 100.0;
    m_Interval->setRange(std::clamp(frame, TimeLapseOptions::kMinInterval, TimeLapseOptions::kMaxInterval),
        TimeLapseOptions::kMaxInterval);
    m_Interval->setValue(options.intervalSeconds);
    m_ByCount = new QRadioButton(DialogForm::text("Pictures", "枚数"), this);
    m_Count = new QSpinBox(this);
    m_Count->setRange(1, TimeLapseOptions::kMaxCount);
    m_Count->setValue(options.count);
    m_ByDuration = new QRadioButton(DialogForm::text("Duration (min)", "時間（分）"), this);
    m_Duration = new QDoubleSpinBox(this);
    m_Duration->setDecimals(2);
    m_Duration->setRange(0, TimeLapseOptions::kMaxDuration / 60);
    m_Duration->setValue(options.durationSeconds / 60);
    (options.byDuration ? m_ByDuration : m_ByCount)->setChecked(true);
    m_Format = new QComboBox(this);
    m_Format->addItems({ "BMP", "JPEG", "PNG", "TIFF" });
    m_Format->setCurrentIndex(std::clamp(options.format, 1, 4) - 1);
    m_Overlay = new QCheckBox(DialogForm::text("With the measuring lines", "計測ラインを含める"), this);
    m_Overlay->setChecked(options.overlay);
    m_Status = new QLabel(this);

    auto* buttons = new QDialogButtonBox(this);
    m_Start = buttons->addButton(DialogForm::text("Start", "開始"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(DialogForm::text("Close", "閉じる"), QDialogButtonBox::RejectRole);
    m_Start->setObjectName(QString::number(IDC_START));
    close->setObjectName(QString::number(IDC_CLOSE));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_Start, &QPushButton::clicked, this, [this] {
        if (m_Running)
            emit stopRequested();
        else
            emit startRequested(this->options()); // not the constructor's parameter
    });
    connect(m_ByCount, &QRadioButton::toggled, this, [this] { updateFields(); });

    DialogForm form(this);
    form.row(DialogForm::text("Interval (s)", "間隔（秒）"), m_Interval, IDC_INTERVAL);
    form.pair(m_ByCount, IDC_BY_COUNT, m_Count, IDC_COUNT);
    form.pair(m_ByDuration, IDC_BY_DURATION, m_Duration, IDC_DURATION);
    form.row(DialogForm::text("Format", "形式"), m_Format, IDC_FORMAT);
    form.wide(m_Overlay, IDC_OVERLAY);
    form.wide(m_Status, IDC_STATUS);
    form.wide(buttons, kIdButtons);
    updateFields();
}

TimeLapseOptions TimeLapseDlg::options() const
{
    TimeLapseOptions o;
    o.intervalSeconds = m_Interval->value();
    o.byDuration = m_ByDuration->isChecked();
    o.count = m_Count->value();
    o.durationSeconds = m_Duration->value() * 60;
    o.format = m_Format->currentIndex() + 1;
    o.overlay = m_Overlay->isChecked();
    return o;
}

QWidget* TimeLapseDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

void TimeLapseDlg::setRunning(bool running)
{
    m_Running = running;
    m_Start->setText(running ? DialogForm::text("Stop", "停止") : DialogForm::text("Start", "開始"));
    updateFields();
}

void TimeLapseDlg::setStatus(const QString& text)
{
    m_Status->setText(text);
}

void TimeLapseDlg::updateFields()
{
    for (QWidget* w : std::initializer_list<QWidget*> { m_Interval, m_ByCount, m_ByDuration, m_Format, m_Overlay })
        w->setEnabled(!m_Running);
    m_Count->setEnabled(!m_Running && !m_ByDuration->isChecked());
    m_Duration->setEnabled(!m_Running && m_ByDuration->isChecked());
}
