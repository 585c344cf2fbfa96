// Draws the viewer's skin pictures: the button sheet (English and Japanese captions, enabled and disabled
// looks), the background tile, the corner arrows and the window icon. Usage: nx_skingen <res folder>.
// Each sheet is drawn twice: at 1x and, for screens scaled to 200 %, at 2x beside it as <id>@2x.png (the name
// by which Qt gives a loaded picture a device pixel ratio of 2). The 2x sheets are drawn, not enlarged: a
// painter on a picture of ratio 2 draws the same shapes and text with twice the pixels.
// The output is deterministic, so regenerating changes no committed file unless the drawing changed.
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kCellW = 50, kCellH = 53;
constexpr int kSheetW = 400, kSheetH = 318;
constexpr double kPi = 3.14159265358979323846;

// Icon drawing area: the top 36 pixels of a cell, centred on (25, 19).
using Icon = std::function<void(QPainter&)>;

struct Button {
    int x, y; // enabled cell
    const char* english;
    const char* japanese;
    Icon icon;
};

QPen pen(const QColor& c, double w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

const QColor kInk(232, 240, 248);
const QColor kAccent(64, 200, 220);
const QColor kWarm(255, 196, 64);

void dotAt(QPainter& p, double x, double y, const QColor& c = kAccent)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(x, y), 2.6, 2.6);
}

void iconLine(QPainter& p)
{
    p.setPen(pen(kInk, 2));
    p.drawLine(QPointF(13, 28), QPointF(37, 10));
    dotAt(p, 13, 28);
    dotAt(p, 37, 10);
}

void iconArea(QPainter& p)
{
    const QPolygonF poly { { 12, 26 }, { 18, 9 }, { 35, 8 }, { 39, 22 }, { 27, 30 } };
    p.setPen(pen(kInk, 1.8));
    p.setBrush(QColor(64, 200, 220, 90));
    p.drawPolygon(poly);
    for (const QPointF& q : poly)
        dotAt(p, q.x(), q.y());
}

void iconCircle(QPainter& p)
{
    p.setPen(pen(kInk, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(25, 19), 12, 12);
    p.setPen(pen(kAccent, 1.6));
    p.drawLine(QPointF(14.5, 25), QPointF(35.5, 13));
}

void iconCircle2(QPainter& p)
{
    p.setPen(pen(kInk, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(15, 22), 7, 7);
    p.drawEllipse(QPointF(35, 15), 7, 7);
    p.setPen(pen(kAccent, 1.6));
    p.drawLine(QPointF(15, 22), QPointF(35, 15));
    dotAt(p, 15, 22, kWarm);
    dotAt(p, 35, 15, kWarm);
}

void iconPerpendicular(QPainter& p)
{
    p.setPen(pen(kInk, 2));
    p.drawLine(QPointF(9, 29), QPointF(41, 29));
    p.setPen(pen(kAccent, 2));
    p.drawLine(QPointF(25, 29), QPointF(25, 8));
    p.setPen(pen(kInk, 1.2));
    p.drawPolyline(QPolygonF { { 25, 24 }, { 30, 24 }, { 30, 29 } });
    dotAt(p, 25, 8, kWarm);
}

void iconAngle(QPainter& p)
{
    p.setPen(pen(kInk, 2));
    p.drawPolyline(QPolygonF { { 38, 29 }, { 12, 29 }, { 30, 8 } });
    p.setPen(pen(kAccent, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2, 19, 20, 20), 0, int(50 * 16));
}

void iconLive(QPainter& p)
{
    p.setPen(pen(kInk, 1.8));
    p.setBrush(QColor(30, 40, 52));
    p.drawRoundedRect(QRectF(8, 10, 25, 18), 3, 3);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF { { 33, 19 }, { 42, 12 }, { 42, 26 } });
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 70, 70));
    p.drawEllipse(QPointF(14, 16), 2.5, 2.5);
}

void iconStill(QPainter& p)
{
    p.setPen(pen(kInk, 1.8));
    p.setBrush(QColor(30, 40, 52));
    p.drawRoundedRect(QRectF(8, 10, 25, 18), 3, 3);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF { { 33, 19 }, { 42, 12 }, { 42, 26 } });
    p.setPen(Qt::NoPen);
    p.setBrush(kWarm);
    p.drawRect(QRectF(15, 14, 3, 10));
    p.drawRect(QRectF(22, 14, 3, 10));
}

void iconColor(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0, 220));
    p.drawEllipse(QPointF(20, 15), 7, 7);
    p.setBrush(QColor(0, 255, 0, 200));
    p.drawEllipse(QPointF(30, 15), 7, 7);
    p.setBrush(QColor(64, 200, 255, 200));
    p.drawEllipse(QPointF(25, 24), 7, 7);
}

void iconRuler(QPainter& p)
{
    p.save();
    p.translate(25, 19);
    p.rotate(-30);
    p.setPen(pen(kInk, 1.5));
    p.setBrush(QColor(255, 196, 64, 160));
    p.drawRect(QRectF(-16, -5, 32, 10));
    for (int i = -12; i <= 12; i += 4)
        p.drawLine(QPointF(i, -5), QPointF(i, i % 8 == 0 ? 1 : -1));
    p.restore();
}

void drawList(QPainter& p)
{
    p.setPen(pen(kInk, 1.5));
    p.setBrush(QColor(30, 40, 52));
    p.drawRect(QRectF(10, 8, 22, 24));
    for (int y = 13; y <= 27; y += 5)
        p.drawLine(QPointF(13, y), QPointF(29, y));
}

void iconDelete(QPainter& p)
{
    drawList(p);
    p.setPen(pen(QColor(255, 90, 90), 2.6));
    p.drawLine(QPointF(31, 18), QPointF(41, 28));
    p.drawLine(QPointF(41, 18), QPointF(31, 28));
}

void iconClear(QPainter& p)
{
    p.setPen(pen(kInk, 1.8));
    p.setBrush(QColor(30, 40, 52));
    p.drawPolygon(QPolygonF { { 15, 12 }, { 35, 12 }, { 32, 32 }, { 18, 32 } });
    p.drawLine(QPointF(12, 11), QPointF(38, 11));
    p.drawLine(QPointF(21, 8), QPointF(29, 8));
    p.setPen(pen(QColor(255, 90, 90), 1.6));
    for (double x : { 21.0, 25.0, 29.0 })
        p.drawLine(QPointF(x, 16), QPointF(x, 28));
}

void iconCsv(QPainter& p)
{
    p.setPen(pen(kInk, 1.4));
    p.setBrush(QColor(30, 40, 52));
    p.drawRect(QRectF(10, 8, 30, 24));
    for (int y = 14; y < 32; y += 6)
        p.drawLine(QPointF(10, y), QPointF(40, y));
    for (int x = 20; x < 40; x += 10)
        p.drawLine(QPointF(x, 8), QPointF(x, 32));
    p.setPen(pen(kAccent, 2));
    p.drawLine(QPointF(36, 22), QPointF(36, 33));
    p.drawPolyline(QPolygonF { { 32, 29 }, { 36, 33 }, { 40, 29 } });
}

void iconSave(QPainter& p)
{
    p.setPen(pen(kInk, 1.6));
    p.setBrush(QColor(40, 90, 140));
    p.drawPolygon(QPolygonF { { 12, 8 }, { 34, 8 }, { 38, 12 }, { 38, 31 }, { 12, 31 } });
    p.setBrush(kInk);
    p.drawRect(QRectF(17, 8, 14, 8));
    p.setBrush(QColor(30, 40, 52));
    p.drawRect(QRectF(16, 21, 18, 10));
}

// Quick capture: the save disk with a flash beside it.
void iconQuick(QPainter& p)
{
    p.save();
    p.translate(-4, 0);
    iconSave(p);
    p.restore();
    p.setPen(pen(QColor(20, 30, 40), 1));
    p.setBrush(QColor(255, 214, 64));
    p.drawPolygon(QPolygonF { { 38, 6 }, { 31, 20 }, { 36, 20 }, { 32, 33 }, { 43, 16 }, { 38, 16 }, { 42, 6 } });
}

// Recording: a red dot in a ring, ready; a red stop square while recording.
void iconRecord(QPainter& p)
{
    p.setPen(pen(kInk, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(25, 19), 13, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 40, 40));
    p.drawEllipse(QPointF(25, 19), 8, 8);
}

void iconRecording(QPainter& p)
{
    p.setPen(pen(QColor(255, 120, 120), 1.6));
    p.setBrush(QColor(225, 40, 40));
    p.drawEllipse(QPointF(25, 19), 13, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 245));
    p.drawRect(QRectF(20, 14, 10, 10));
}

void iconFolder(QPainter& p)
{
    p.setPen(pen(kInk, 1.6));
    p.setBrush(QColor(255, 196, 64, 200));
    p.drawPolygon(QPolygonF { { 9, 11 }, { 19, 11 }, { 22, 14 }, { 41, 14 }, { 41, 30 }, { 9, 30 } });
}

void iconGear(QPainter& p)
{
    QPainterPath gear;
    for (int i = 0; i < 16; ++i) {
        const double a = i * kPi / 8, r = (i % 2 == 0) ? 13 : 9.5;
        const QPointF q(25 + r * std::cos(a), 19 + r * std::sin(a));
        if (i == 0)
            gear.moveTo(q);
        else
            gear.lineTo(q);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(25, 19), 4, 4);
    p.setPen(pen(kInk, 1.4));
    p.setBrush(QColor(120, 140, 160));
    p.drawPath(gear);
}

void drawPicture(QPainter& p)
{
    p.setPen(pen(kInk, 1.5));
    p.setBrush(QColor(40, 90, 140));
    p.drawRect(QRectF(9, 9, 32, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 170, 90));
    p.drawPolygon(QPolygonF { { 10, 30 }, { 20, 18 }, { 27, 25 }, { 32, 20 }, { 40, 30 } });
    p.setBrush(kWarm);
    p.drawEllipse(QPointF(34, 14), 2.5, 2.5);
}

void iconType(QPainter& p)
{
    drawPicture(p);
}

void iconTypeOverlay(QPainter& p)
{
    drawPicture(p);
    p.setPen(pen(QColor(0, 255, 0), 2));
    p.drawLine(QPointF(12, 27), QPointF(38, 12));
    dotAt(p, 12, 27, QColor(255, 255, 0));
    dotAt(p, 38, 12, QColor(255, 255, 0));
}

void iconThumb(QPainter& p)
{
    p.setPen(pen(kInk, 1.3));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            p.setBrush(QColor(40 + 30 * c, 90 + 20 * r, 140));
            p.drawRect(QRectF(8 + c * 12, 9 + r * 11, 10, 9));
        }
}

void iconWb(QPainter& p)
{
    p.setPen(pen(kInk, 1.5));
    QLinearGradient g(8, 0, 42, 0);
    g.setColorAt(0, QColor(255, 150, 80));
    g.setColorAt(0.5, QColor(255, 255, 255));
    g.setColorAt(1, QColor(110, 170, 255));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(8, 11, 34, 16), 4, 4);
    p.setPen(pen(QColor(20, 30, 40), 2));
    p.drawLine(QPointF(25, 9), QPointF(25, 29));
}

void iconScale(QPainter& p)
{
    p.setPen(pen(kInk, 2));
    p.drawLine(QPointF(9, 26), QPointF(41, 26));
    p.drawLine(QPointF(9, 21), QPointF(9, 31));
    p.drawLine(QPointF(41, 21), QPointF(41, 31));
    p.setPen(pen(kAccent, 2));
    p.drawLine(QPointF(41, 26), QPointF(41, 8));
    QFont f("DejaVu Sans");
    f.setPixelSize(9);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(9, 10, 30, 12), Qt::AlignCenter, "10mm");
}

// The cells of the sheet.
const Button kButtons[] = {
    { 0, 0, "LINE", "二点間距離", iconLine },
    { 50, 0, "ARIA", "多角形面積", iconArea },
    { 100, 0, "CIRCLE", "円直径", iconCircle },
    { 150, 0, "CIRCLE2", "２円間距離", iconCircle2 },
    { 0, 53, "LIVE", "ライブ映像", iconLive },
    { 50, 53, "LIVE", "ライブ映像", iconStill },
    { 100, 53, "COLOR", "色設定", iconColor },
    { 150, 53, "CALIB", "設定", iconRuler },
    { 0, 106, "DELETE", "リスト削除", iconDelete },
    { 50, 106, "CLEAR", "リスト全削除", iconClear },
    { 100, 106, "CSV", "保存", iconCsv },
    { 150, 106, "SAVE", "画像保存", iconSave },
    { 0, 159, "DIR", "保存先指定", iconFolder },
    { 50, 159, "SET", "カメラ設定", iconGear },
    { 100, 159, "TYPE", "保存形式", iconType },
    { 150, 159, "TYPE", "保存形式", iconTypeOverlay },
    { 0, 211, "THUMB", "サムネイル", iconThumb },
    { 50, 211, "SUI", "垂線", iconPerpendicular },
    { 100, 211, "ANGLE", "角度", iconAngle },
    { 150, 211, "WB", "WB", iconWb },
    { 0, 264, "Scale", "スケール", iconScale },
    { 50, 264, "QUICK", "クイック保存", iconQuick },
    { 100, 264, "REC", "録画", iconRecord },
    { 150, 264, "REC", "録画", iconRecording },
};

void drawCaption(QPainter& p, const QString& text, bool japanese, const QColor& color)
{
    QFont f(japanese ? "Noto Sans CJK JP" : "DejaVu Sans");
    f.setPixelSize(japanese ? 10 : 9);
    f.setBold(!japanese);
    // Long captions are narrowed to fit the 46-pixel face.
    for (int stretch = 100; stretch >= 50; stretch -= 5) {
        f.setStretch(stretch);
        if (QFontMetricsF(f).horizontalAdvance(text) <= 45)
            break;
    }
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRectF(2, 36, 46, 14), Qt::AlignHCenter | Qt::AlignVCenter, text);
}

void drawFace(QPainter& p, bool enabled)
{
    QLinearGradient g(0, 0, 0, kCellH);
    g.setColorAt(0, enabled ? QColor(84, 100, 120) : QColor(92, 96, 100));
    g.setColorAt(0.55, enabled ? QColor(44, 56, 72) : QColor(70, 72, 76));
    g.setColorAt(1, enabled ? QColor(28, 36, 48) : QColor(58, 60, 64));
    p.setPen(QPen(enabled ? QColor(120, 210, 225) : QColor(120, 124, 128), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, kCellW - 1, kCellH - 1), 6, 6);
    p.setPen(QPen(QColor(255, 255, 255, enabled ? 60 : 30), 1));
    p.drawLine(QPointF(6, 2), QPointF(kCellW - 6, 2));
}

// The disabled look: the icon in flat grey.
QImage greyed(const QImage& cell)
{
    QImage out = cell.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* px = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int v = qGray(px[x]) / 2 + 70;
            px[x] = qRgba(v, v, v, qAlpha(px[x]) / 2);
        }
    }
    return out;
}

// A picture of width x height window pixels at scale device pixels each.
QImage canvas(int width, int height, int scale, QImage::Format format)
{
    QImage image(width * scale, height * scale, format);
    image.setDevicePixelRatio(scale);
    return image;
}

void drawCell(QPainter& p, const Button& b, bool japanese, bool enabled, int scale)
{
    p.save();
    p.translate(b.x + (enabled ? 0 : 200), b.y);
    p.setClipRect(0, 0, kCellW, kCellH);
    drawFace(p, enabled);
    QImage icon = canvas(kCellW, 36, scale, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        QPainter ip(&icon);
        ip.setRenderHint(QPainter::Antialiasing);
        b.icon(ip);
    }
    p.drawImage(0, 0, enabled ? icon : greyed(icon));
    drawCaption(p, QString::fromUtf8(japanese ? b.japanese : b.english), japanese,
        enabled ? QColor(235, 245, 250) : QColor(150, 152, 156));
    p.restore();
}

QImage buttonSheet(bool japanese, int scale)
{
    QImage sheet = canvas(kSheetW, kSheetH, scale, QImage::Format_RGB32);
    sheet.fill(QColor(36, 44, 54));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const Button& b : kButtons) {
        drawCell(p, b, japanese, true, scale);
        drawCell(p, b, japanese, false, scale);
    }
    return sheet;
}

// A 200 x 200 tile that repeats without seams: every term is periodic in 200 pixels. At 2x the waves are
// sampled finer and each grain covers 2 x 2 pixels, so both tiles look alike.
QImage backgroundTile(int scale)
{
    QImage tile = canvas(200, 200, scale, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        auto* px = reinterpret_cast<QRgb*>(tile.scanLine(y));
        for (int x = 0; x < tile.width(); ++x) {
            const double a = 2 * kPi * x / tile.width(), b = 2 * kPi * y / tile.height();
            const double wave = 3.0 * std::sin(a + 2 * b) + 2.0 * std::sin(3 * a - b) + 1.5 * std::sin(5 * b);
            // A fine grain from a hash of the wrapped position.
            const unsigned h = (unsigned(x / scale) * 73856093u) ^ (unsigned(y / scale) * 19349663u);
            const double grain = double((h >> 7) % 7) - 3.0;
            const double base = 34 + wave + grain * 0.8;
            px[x] = qRgb(int(base), int(base + 8), int(base + 16));
        }
    }
    return tile;
}

QImage arrows(int scale)
{
    QImage sheet = canvas(52, 13, scale, QImage::Format_RGB32);
    sheet.fill(QColor(36, 44, 54));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    // Right, left, down, up.
    const QPolygonF shapes[4] = {
        { { 4.5, 3 }, { 9.5, 6.5 }, { 4.5, 10 } },
        { { 8.5, 3 }, { 3.5, 6.5 }, { 8.5, 10 } },
        { { 3, 4.5 }, { 10, 4.5 }, { 6.5, 9.5 } },
        { { 3, 8.5 }, { 10, 8.5 }, { 6.5, 3.5 } },
    };
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(13 * i, 0);
        p.setPen(QPen(QColor(120, 210, 225), 1));
        p.setBrush(QColor(50, 64, 80));
        p.drawRoundedRect(QRectF(0.5, 0.5, 12, 12), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(235, 245, 250));
        p.drawPolygon(shapes[i]);
        p.restore();
    }
    return sheet;
}

QImage windowIcon()
{
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 210, 225), 3));
    p.setBrush(QColor(44, 56, 72));
    p.drawRoundedRect(QRectF(4, 14, 56, 40), 8, 8);
    p.drawRect(QRectF(22, 8, 20, 8));
    QRadialGradient lens(32, 34, 14);
    lens.setColorAt(0, QColor(120, 210, 225));
    lens.setColorAt(1, QColor(20, 40, 60));
    p.setBrush(lens);
    p.drawEllipse(QPointF(32, 34), 13, 13);
    return icon;
}

bool save(const QImage& image, const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    // RGB sheets are stored without alpha: the reader turns every picture into 24-bit anyway.
    const QImage out = image.hasAlphaChannel() ? image : image.convertToFormat(QImage::Format_RGB888);
    if (!out.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), out.width(), out.height());
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <res folder>\n", argv[0]);
        return 2;
    }
    const QDir res(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (const int scale : { 1, 2 }) {
        const QString suffix = scale == 1 ? QStringLiteral(".png") : QStringLiteral("@2x.png");
        ok &= save(buttonSheet(false, scale), res.filePath("Png/1033/157" + suffix));
        ok &= save(buttonSheet(true, scale), res.filePath("Png/1041/157" + suffix));
        ok &= save(backgroundTile(scale), res.filePath("Png/1033/158" + suffix));
        ok &= save(arrows(scale), res.filePath("Png/1033/159" + suffix));
    }
    ok &= save(windowIcon(), res.filePath("Icon/128.png"));
    return ok ? 0 : 1;
}
