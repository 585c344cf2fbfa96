// The Image Setting dialog's model: the values it edits live (processing settings and the camera's controls:
// gain, colour gains, exposure, mirror, and a video device's white balance, brightness, contrast and automatic
// modes), the rule of each field, the snapshot CANCEL restores and what OK keeps. The camera's fields take
// their ranges from the live source; the ones it lacks are disabled. No widgets: the dialog forwards its
// controls' changes here.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "camera/LiveSource.h"
#include "imaging/Kernels.h"
#include "imaging/SettingRanges.h"

// Control ids of the dialog (resource 153). Spin and slider ids name the controls that go with an edit.
enum ImageSetControl {
    IDD_IMAGESET = 153,
    IDC_IS_OK = 1,
    IDC_IS_CANCEL = 2,
    IDC_INTERLACE_CHECK = 1142,
    IDC_BAYER_CHECK = 1143,
    IDC_BAYER_GAIN_R_SPIN = 1144,
    IDC_BAYER_GAIN_R = 1145,
    IDC_BAYER_GAIN_G = 1146,
    IDC_BAYER_GAIN_G_SPIN = 1147,
    IDC_BAYER_GAIN_B = 1148,
    IDC_BAYER_GAIN_B_SPIN = 1149,
    IDC_BAYER_MODE0 = 1152, // 1152..1155: Bayer phase modes 0..3
    IDC_GAMMA = 1166,
    IDC_MIRROR_V = 1168,
    IDC_MIRROR_H = 1169,
    IDC_GLOBAL_GAIN_SLIDER = 1170,
    IDC_GAMMA_SPIN = 1172,
    IDC_GREEN1_SLIDER = 1173,
    IDC_RED_SLIDER = 1174,
    IDC_BLUE_SLIDER = 1175,
    IDC_GREEN2_SLIDER = 1176,
    IDC_INTERLACE = 1178,
    IDC_INTERLACE_SPIN = 1179,
    IDC_SHUTTER_SLIDER = 1180,
    IDC_HUE = 1181,
    IDC_HUE_SPIN = 1182,
    IDC_BRIGHTNESS = 1183,
    IDC_BRIGHTNESS_SPIN = 1184,
    IDC_SATURATION = 1185,
    IDC_SATURATION_SPIN = 1186,
    IDC_GLOBAL_GAIN = 1187,
    IDC_GLOBAL_GAIN_SPIN = 1191,
    IDC_GREEN1 = 1194,
    IDC_RED = 1195,
    IDC_BLUE = 1196,
    IDC_GREEN2 = 1197,
    IDC_SHUTTER = 1198,
    IDC_GREEN1_SPIN = 1199,
    IDC_RED_SPIN = 1200,
    IDC_BLUE_SPIN = 1201,
    IDC_GREEN2_SPIN = 1202,
    IDC_SHUTTER_SPIN = 1203,
    IDC_CONTRAST = 1205,
    IDC_CONTRAST_SPIN = 1206,
    IDC_SHARPNESS = 1208,
    IDC_SHARPNESS_SPIN = 1209,
    IDC_BINARY_CHECK = 1210,
    IDC_BINARY = 1211,
    IDC_BINARY_SPIN = 1212,
    IDC_AUTO_IRIS = 1213,
    IDC_IRIS_GAIN = 1214,
    IDC_IRIS_EXPOSURE = 1215,
    // A video device's own controls (the own camera has none of them).
    IDC_CAM_WHITE_BALANCE = 1216,
    IDC_CAM_WHITE_BALANCE_SPIN = 1217,
    IDC_CAM_BRIGHTNESS = 1218,
    IDC_CAM_BRIGHTNESS_SPIN = 1219,
    IDC_CAM_CONTRAST = 1220,
    IDC_CAM_CONTRAST_SPIN = 1221,
    IDC_CAM_AUTO_EXPOSURE = 1222,
    IDC_CAM_AUTO_WHITE_BALANCE = 1223,
    IDC_CAM_AUTO_GAIN = 1224,
};

// The settings the dialog edits or restores, named after the viewer's settings.
struct ImageSetValues {
    double m_BayerR = 1.0, m_BayerG = 1.0, m_BayerB = 1.0;
    int32_t m_BayerMode = 0, m_BayerFlg = 0;
    int32_t m_BinaryFlg = 0, m_Binary = 128;
    int32_t m_InterlaceFlg = 0, m_Interlace = 600;
    int32_t m_AutoIrisFlg = 0, m_AutoIrisMode = 0;
    HlsData m_HLS;
    int32_t Gamma = 100;
    uint8_t GlovalGain = 14, ColorGainG1 = 14, ColorGainR = 14, ColorGainB = 14, ColorGainG2 = 14;
    uint16_t Shutter = 536;
    int32_t MirrorV = 1;
};

// Where the values live: the viewer's settings owner, or a plain struct in tests.
class ImageSetTarget {
public:
    virtual ~ImageSetTarget() = default;
    virtual ImageSetValues values() const = 0;
    // Applies edit to the values as one change.
    virtual void change(const std::function<void(ImageSetValues&)>& edit) = 0;
};

// A numeric field: its edit (and the spin and slider that go with it), its range and its rule.
struct ImageSetNumber {
    int edit = 0;
    int spin = 0;
    int slider = 0; // 0: none
    int32_t min = 0, max = 0;
    bool nonZero = false; // a 0 leaves the setting as it is
    bool enabled = true;
};

class ImageSetModel {
public:
    // Takes the snapshot that CANCEL restores.
    ImageSetModel(ImageSetTarget& target, LiveSource& source);

    // Every numeric field, in the dialog's order (ranges of camera fields from the source's controls).
    const std::vector<ImageSetNumber>& numbers() const { return m_Numbers; }
    const ImageSetNumber* number(int edit) const;
    // What a numeric field or check box shows at opening. The camera's fields show its values, or the stored
    // setting (a video device: its default) when a value cannot be read.
    int32_t openingValue(int id) const;

    // A numeric field's text changed: a number is held to the field's range and applied by the field's rule.
    // Returns the value applied, or nothing when the text leaves the setting as it is.
    std::optional<int32_t> edit(int id, const QString& text);
    // Check boxes 1142, 1210, 1143, 1213 and the device's automatic modes 1222..1224 (on: 1 or 0).
    void setCheck(int id, int on);
    // Whether the source has the control behind a camera field or check box (true for other ids). The
    // Bayer box needs a source that gives the sensor's mosaic: colour and grey frames are shown as they are.
    bool hasControl(int id) const;
    bool hasMosaic() const;
    // The mirror boxes: the camera has no horizontal mirror; the vertical state goes to its row mirror.
    void setMirror(int horizontal, int vertical);
    void setBayerMode(int mode);
    void setAutoIrisMode(int mode);

    // OK: keeps the vertical mirror state, the three colour gains as their edits say (same rule as typing),
    // and, when the settings keep the source's controls, the camera's gains and exposure as read back, each
    // only when its read succeeded (a video device keeps its own values).
    void accept(const QString& gainR, const QString& gainG, const QString& gainB);
    // CANCEL: puts back every setting remembered at opening and the camera's controls (the stored values, or
    // for a video device the values it had at opening).
    void cancel();

    // The colour gains the settings hold now, as the fields show them: they change under the dialog when a
    // white-balance measurement lands.
    std::array<int32_t, 3> colourGains() const;

    const ImageSetValues& snapshot() const { return m_Snapshot; }
    int mirrorV() const { return m_MirrorV; }

private:
    void applyNumber(int id, int32_t value);
    int32_t cameraValue(LiveSource::Control c, int32_t stored) const;

    ImageSetTarget& m_Target;
    LiveSource& m_Source;
    // A video device's control values at opening (what CANCEL puts back); nothing when unread.
    std::optional<int32_t> m_Opening[size_t(LiveSource::Control::Count)];
    ImageSetValues m_Snapshot;
    std::vector<ImageSetNumber> m_Numbers;
    int m_MirrorV = 0;
};
