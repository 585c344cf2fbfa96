// The scale dialog's changes to the bar, and their undoing.
#include "calib/ScaleDlgModel.h"

#include "calib/ScaleBar.h"

void ScaleDlgModel::open(ScaleData* data, int32_t width, int32_t height)
{
    m_Data = data;
    if (data)
        m_Saved = *data;
    m_Width = width;
    m_Height = height;
}

void ScaleDlgModel::setVisible(bool visible)
{
    if (m_Data)
        m_Data->Visible = visible ? 1 : 0;
}

void ScaleDlgModel::setType(int32_t type)
{
    if (m_Data)
        m_Data->Type = type;
}

void ScaleDlgModel::place(int32_t placement, ::Size sizes)
{
    if (!m_Data)
        return;
    m_Data->Pos = scalePlacement(placement, sizes, m_Data->mppX, m_Data->mppY, m_Width, m_Height);
    m_Data->Size = sizes;
}

void ScaleDlgModel::ok(::Size sizes)
{
    if (m_Data)
        m_Data->Size = sizes;
    close();
}

void ScaleDlgModel::cancel()
{
    if (m_Data) {
        m_Data->Visible = m_Saved.Visible;
        m_Data->Type = m_Saved.Type;
        m_Data->Pos = m_Saved.Pos;
        m_Data->Size = m_Saved.Size;
    }
    close();
}
