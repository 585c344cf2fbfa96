// The reticle, the grid and the reference picture laid over the view: their settings (kept in the settings
// file's OVERLAY section), and the reticle and grid drawn in picture coordinates, so that they stay locked to
// the picture at every zoom and pan and gauge it in the calibration's units.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

#include "imaging/BitmapHeader.h"
#include "imaging/ViewGeometry.h"

class Dc;
class Digest;
class ProfileFile;

// The unit of the reticle's radii, the grid spacing and the tick step: a calibration unit code (UnitCm, UnitMm,
// UnitUm) or picture pixels.
inline constexpr int32_t kPixelUnit = -1;

struct OverlayOptions {
    bool reticle = false;
    bool grid = false;
    bool reference = false;
    // The reticle's centre (and the grid's origin) in picture pixels; negative: the picture's centre.
    double centreX = -1.0;
    double centreY = -1.0;
    // Radii of the reticle's circles, the grid spacing and the step of the ticks along the crosshair, in unit.
    std::vector<double> radii { 0.5, 1.0 };
    double gridSpacing = 1.0;
    double tickStep = 0.1;
    int32_t unit = 1; // millimetres
    bool ticks = true;
    // The reticle and the grid go into saved pictures along with the measurement drawing.
    bool burnIn = false;
    // The reference picture: its file, its opacity over the live picture (percent), or the difference view
    // (live green, reference magenta, agreement grey), and the shift that lays it onto the live picture, in
    // picture pixels.
    QString referencePath;
    int opacity = 50;
    bool difference = false;
    double shiftX = 0.0;
    double shiftY = 0.0;

    static constexpr size_t kMaxRadii = 16;

    // The values the file holds; a key absent or out of range keeps the default.
    static OverlayOptions Load(const ProfileFile& file);
    void save(ProfileFile& file) const;
    // A radius, spacing or step a person typed: finite and above zero.
    static bool usableLength(double v);
};

// Picture pixels per overlay unit on each axis, and the unit's text for labels.
struct OverlayScale {
    double pixelsX = 1.0;
    double pixelsY = 1.0;
    QString unit = QStringLiteral("px");
};

// The scale of values in unit under a calibration of mppX, mppY calibUnits per pixel; pixels (1:1, "px") for
// kPixelUnit or a calibration whose factors are not usable.
OverlayScale overlayScale(int32_t unit, double mppX, double mppY, int32_t calibUnit);

// Where the reticle stands on a width x height picture.
PicturePoint reticleCentre(const OverlayOptions& o, int32_t width, int32_t height);

// Everything the reticle and grid drawing reads, for the kept layer's key.
void addToDigest(Digest& digest, const OverlayOptions& o, const OverlayScale& s);

// The grid (lines, values at the view's top and left edges) and the reticle (crosshair, circles labelled with
// their radii, ticks) as the options turn them on, into a Dc whose origin is the view's top-left corner.
// Lines closer than a few view pixels are thinned by tens, so a fine grid at fit does not fill the view.
void DrawReticleAndGrid(Dc& dc, const OverlayOptions& o, const OverlayScale& s, const ViewGeometry& geometry,
    ColorRef line, ColorRef text);
