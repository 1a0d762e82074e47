#include "tools/chart/preview/Preview.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

#include "charting/Charting.h"
#include "core/Lanes.h"

namespace zorv::chartmake {
namespace {

constexpr int kWidth = 1200;
constexpr int kLeft = 56;
constexpr int kRight = 16;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr double kRowMs = 15000;
constexpr double kPxPerMs = kPlotWidth / kRowMs;
constexpr int kHeader = 64;
constexpr int kStrengthHeight = 34;
constexpr int kLaneHeight = 15;
constexpr int kRowGap = 16;
constexpr int kRowHeight = kStrengthHeight + kLaneCount * kLaneHeight + kRowGap;

const QColor kBackground(250, 250, 247);
const QColor kStrength(150, 156, 168);
const QColor kBeat(214, 214, 205);
const QColor kBar(150, 150, 140);
const QColor kText(40, 40, 40);
// ← ↑ ↓ → as the game colours its arrows: one hue per lane.
const std::array<QColor, kLaneCount> kLaneColours = {QColor(52, 120, 220), QColor(40, 160, 90), QColor(225, 160, 20),
                                                     QColor(200, 70, 160)};
const QColor kProblem(215, 30, 30);
const QColor kWarning(240, 130, 0);
const QColor kOffMusic(120, 120, 120);
const std::array<const char*, kLaneCount> kLaneSymbols = {"\u2190", "\u2191", "\u2193", "\u2192"};

std::string clock(double ms)
{
    const auto s = static_cast<int>(ms / 1000);
    return std::to_string(s / 60) + ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60);
}

double rowTop(int row) { return kHeader + row * kRowHeight; }

double laneY(int row, int lane)
{
    return rowTop(row) + kStrengthHeight + (std::clamp(lane, 1, kLaneCount) - 0.5) * kLaneHeight;
}

void drawRowFrame(QPainter& p, int row)
{
    const double top = rowTop(row);
    p.setPen(kText);
    p.drawText(QRectF(0, top, kLeft - 8, kStrengthHeight), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromStdString(clock(row * kRowMs)));
    for (int lane = 1; lane <= kLaneCount; ++lane) {
        const double y = laneY(row, lane);
        p.setPen(QColor(230, 230, 224));
        p.drawLine(QPointF(kLeft, y), QPointF(kWidth - kRight, y));
        p.setPen(kLaneColours[static_cast<std::size_t>(lane - 1)]);
        p.drawText(QRectF(kLeft - 24, y - kLaneHeight / 2.0, 18, kLaneHeight), Qt::AlignCenter,
                   QString::fromUtf8(kLaneSymbols[static_cast<std::size_t>(lane - 1)]));
    }
}

void drawStrength(QPainter& p, const Features& f, int rows)
{
    std::vector<float> sorted = f.strength;
    if (sorted.empty())
        return;
    const auto at = sorted.size() * 99 / 100;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at), sorted.end());
    const float top = std::max(sorted[at], 1e-6f);
    p.setPen(kStrength);
    for (int row = 0; row < rows; ++row) {
        const double base = rowTop(row) + kStrengthHeight - 2;
        for (int x = 0; x < kPlotWidth; ++x) {
            const double from = (row * kRowMs + x / kPxPerMs) / kHopMs;
            const double to = (row * kRowMs + (x + 1) / kPxPerMs) / kHopMs;
            float peak = 0;
            for (auto k = static_cast<std::size_t>(from); k < static_cast<std::size_t>(std::ceil(to)); ++k)
                peak = k < f.strength.size() ? std::max(peak, f.strength[k]) : peak;
            const double h = std::min(1.0f, peak / top) * (kStrengthHeight - 4);
            if (h >= 0.5)
                p.drawLine(QPointF(kLeft + x + 0.5, base), QPointF(kLeft + x + 0.5, base - h));
        }
    }
}

// An arrow head pointing the lane's way.
QPolygonF arrow(QPointF c, int lane, double r)
{
    static const std::array<double, kLaneCount> kAngles = {180, 270, 90, 0};  // degrees, y down
    const double a = kAngles[static_cast<std::size_t>(std::clamp(lane, 1, kLaneCount) - 1)] * M_PI / 180;
    QPolygonF poly;
    for (double turn : {0.0, 2.5, -2.5})
        poly << c + QPointF(r * std::cos(a + turn), r * std::sin(a + turn));
    return poly;
}

void drawNote(QPainter& p, const PreviewNote& note)
{
    const double beat = note.timeMs + charting::kLeadMs;
    const int row = static_cast<int>(beat / kRowMs);
    const QPointF c(kLeft + (beat - row * kRowMs) * kPxPerMs, laneY(row, note.lane));
    p.setPen(Qt::NoPen);
    p.setBrush(kLaneColours[static_cast<std::size_t>(std::clamp(note.lane, 1, kLaneCount) - 1)]);
    p.drawPolygon(arrow(c, note.lane, 6));
    if (note.mark == PreviewNote::Mark::fine)
        return;
    const QColor ring = note.mark == PreviewNote::Mark::problem   ? kProblem
                        : note.mark == PreviewNote::Mark::warning ? kWarning
                                                                  : kOffMusic;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ring, 2, note.mark == PreviewNote::Mark::offMusic ? Qt::DotLine : Qt::SolidLine));
    p.drawEllipse(c, 8.5, 8.5);
}

// The beats tracked, across the lanes; the bars' first beats also through
// the strength above them, so the grid the notes keep to shows.
void drawBeats(QPainter& p, const std::vector<double>& beats, const std::vector<double>& bars)
{
    p.setPen(kBeat);
    for (double beat : beats) {
        const int row = static_cast<int>(beat / kRowMs);
        const double x = kLeft + (beat - row * kRowMs) * kPxPerMs;
        const double top = rowTop(row) + kStrengthHeight;
        p.drawLine(QPointF(x, top), QPointF(x, top + kLaneCount * kLaneHeight));
    }
    p.setPen(QPen(kBar, 1.5));
    for (double bar : bars) {
        const int row = static_cast<int>(bar / kRowMs);
        const double x = kLeft + (bar - row * kRowMs) * kPxPerMs;
        const double top = rowTop(row) + 4;
        p.drawLine(QPointF(x, top), QPointF(x, rowTop(row) + kStrengthHeight + kLaneCount * kLaneHeight));
    }
}

void drawLegend(QPainter& p, const PreviewData& data)
{
    p.setPen(kText);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QPointF(12, 22), QString::fromStdString(data.title));
    p.setFont(QFont(p.font().family(), bold.pointSize()));
    p.drawText(QPointF(12, 42), QString::fromStdString(data.subtitle));
    const char* const labels[] = {"problem", "warning", "off the music"};
    const QColor rings[] = {kProblem, kWarning, kOffMusic};
    double x = 12;
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(rings[i], 2, i == 2 ? Qt::DotLine : Qt::SolidLine));
        p.drawEllipse(QPointF(x + 7, 55), 5.5, 5.5);
        p.setPen(kText);
        p.drawText(QPointF(x + 18, 59), labels[i]);
        x += 30 + p.fontMetrics().horizontalAdvance(labels[i]);
    }
    const char* const lines[] = {"beat", "bar"};
    const QPen pens[] = {QPen(kBeat, 1), QPen(kBar, 1.5)};
    for (int i = 0; i < 2; ++i) {
        p.setPen(pens[i]);
        p.drawLine(QPointF(x + 7, 49), QPointF(x + 7, 61));
        p.setPen(kText);
        p.drawText(QPointF(x + 14, 59), lines[i]);
        x += 26 + p.fontMetrics().horizontalAdvance(lines[i]);
    }
}

}  // namespace

int markOffMusic(std::vector<PreviewNote>& notes, const Features& features)
{
    int marked = 0;
    for (PreviewNote& note : notes) {
        const double beat = note.timeMs + charting::kLeadMs;
        const auto after = std::lower_bound(features.onsets.begin(), features.onsets.end(), beat,
                                            [](const Onset& onset, double t) { return onset.ms < t; });
        double nearest = 1e300;
        if (after != features.onsets.end())
            nearest = after->ms - beat;
        if (after != features.onsets.begin())
            nearest = std::min(nearest, beat - std::prev(after)->ms);
        if (note.mark == PreviewNote::Mark::fine && nearest > kOffMusicMs) {
            note.mark = PreviewNote::Mark::offMusic;
            ++marked;
        }
    }
    return marked;
}

QImage drawPreview(const PreviewData& data)
{
    double span = std::max(data.lengthMs, 1.0);
    for (const PreviewNote& note : data.notes)
        span = std::max(span, note.timeMs + charting::kLeadMs + 1.0);
    const int rows = static_cast<int>(std::ceil(span / kRowMs));
    QImage image(kWidth, kHeader + rows * kRowHeight, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawLegend(p, data);
    for (int row = 0; row < rows; ++row)
        drawRowFrame(p, row);
    if (data.features != nullptr)
        drawStrength(p, *data.features, rows);
    drawBeats(p, data.beats, data.bars);
    for (const PreviewNote& note : data.notes) {
        if (note.timeMs + charting::kLeadMs >= 0)
            drawNote(p, note);
    }
    return image;
}

}  // namespace zorv::chartmake
