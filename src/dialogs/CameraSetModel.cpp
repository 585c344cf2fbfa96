// The Camera Setting dialog's values and rules.
#include "dialogs/CameraSetModel.h"

#include <algorithm>
#include <climits>

namespace {

// The sensor's pixel array: a window's size and start lie within it.
constexpr int32_t kSensorWidth = 2048;
constexpr int32_t kSensorHeight = 1536;
// The sensor's frame totals are 16-bit register values.
constexpr int32_t kMaxTotal = 65535;

} // namespace

const CameraSetField CameraSetModel::kFields[kFieldCount] = {
    { 1145, "H Total", "総水平画素", &CameraSetValues::TH, kMaxTotal, false },
    { 1146, "V Total", "総垂直画素", &CameraSetValues::TV, kMaxTotal, false },
    { 1147, "H Effective", "有効水平画素", &CameraSetValues::EH, kSensorWidth, true },
    { 1148, "V Effective", "有効垂直画素", &CameraSetValues::EV, kSensorHeight, true },
    { 1149, "H Start", "有効水平起点", &CameraSetValues::EHS, kSensorWidth - 1, true },
    { 1150, "V Start", "有効垂直起点", &CameraSetValues::EVS, kSensorHeight - 1, true },
    { 1143, "Timer", "タイマー", &CameraSetValues::timer, INT_MAX, true },
    { 1144, "Buffer Size", "バッファサイズ", &CameraSetValues::BufSize, INT_MAX, true },
};

CameraSetModel::CameraSetModel(const CameraSetValues& values)
    : m_Values(values)
{
    holdInRange();
}

void CameraSetModel::holdInRange()
{
    for (const CameraSetField& field : kFields)
        setValue(field, m_Values.*field.value);
}

void CameraSetModel::setValue(const CameraSetField& field, int64_t value)
{
    m_Values.*field.value = int32_t(std::clamp<int64_t>(value, 0, field.maximum));
}

int CameraSetModel::clockIndex() const
{
    return m_Values.Clock == kClockNormal || m_Values.Clock == kClockHalf ? m_Values.Clock : -1;
}

void CameraSetModel::selectClock(int index)
{
    if (index == kClockNormal || index == kClockHalf)
        m_Values.Clock = index;
}

CameraTiming CameraSetModel::timing() const
{
    return { m_Values.TH, m_Values.TV, m_Values.EH, m_Values.EV, m_Values.EHS, m_Values.EVS };
}

bool CameraSetModel::load(const QString& fileName)
{
    CameraTiming t = timing();
    if (!TimingFile::Load(fileName, t))
        return false;
    m_Values.TH = t.TH, m_Values.TV = t.TV, m_Values.EH = t.EH, m_Values.EV = t.EV;
    m_Values.EHS = t.EHS, m_Values.EVS = t.EVS;
    holdInRange();
    return true;
}

bool CameraSetModel::save(const QString& fileName) const
{
    return TimingFile::Save(fileName, timing());
}
