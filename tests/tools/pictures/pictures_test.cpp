// Checks the pictures both as make-pictures draws them now and as committed
// under assets/, against what the game's sprite drawing relies on: plain
// 24-bit bitmaps, a flat key colour in the bottom-left corner, and no pixel
// of the drawing that happens to equal the key (the game would punch a hole
// there).

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

enum class Points { left, up, down, right, nowhere };

struct Sprite {
    const char* name;
    int width;
    int height;
    // Key-coloured regions cut off from the border: a hollow arrow's inside,
    // the counters of A, B, D, O and R. Any extra one is a hole in the
    // drawing; a missing one means an outline leaks.
    int enclosedHoles;
    double minCover;  // share of the tile that is drawing, not key
    double maxCover;
    Points points;
};

const Sprite kSprites[] = {
    {"bleft.bmp", 60, 60, 1, 0.25, 0.60, Points::left},      {"bup.bmp", 60, 60, 1, 0.25, 0.60, Points::up},
    {"bdown.bmp", 60, 60, 1, 0.25, 0.60, Points::down},      {"bright.bmp", 60, 60, 1, 0.25, 0.60, Points::right},
    {"left.bmp", 60, 60, 0, 0.35, 0.75, Points::left},       {"up.bmp", 60, 60, 0, 0.35, 0.75, Points::up},
    {"down.bmp", 60, 60, 0, 0.35, 0.75, Points::down},       {"right.bmp", 60, 60, 0, 0.35, 0.75, Points::right},
    {"great.bmp", 400, 120, 2, 0.30, 0.75, Points::nowhere},  // R, A
    {"good.bmp", 400, 120, 3, 0.30, 0.75, Points::nowhere},   // O, O, D
    {"bad.bmp", 400, 120, 4, 0.30, 0.75, Points::nowhere},    // B (two), A, D
    {"miss.bmp", 400, 120, 0, 0.30, 0.75, Points::nowhere},
};

struct BmpHeader {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int compression = -1;
};

int littleEndian(const QByteArray& bytes, int offset, int size)
{
    int value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes.at(offset + i));
    return value;
}

std::optional<BmpHeader> readBmpHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(54);
    if (bytes.size() < 54 || !bytes.startsWith("BM"))
        return std::nullopt;
    return BmpHeader{littleEndian(bytes, 18, 4), littleEndian(bytes, 22, 4), littleEndian(bytes, 28, 2),
                     littleEndian(bytes, 30, 4)};
}

// Key pixels reachable from the border are the background; every other
// 4-connected patch of key colour is a hole inside the drawing.
int countEnclosedKeyRegions(const QImage& image, QRgb key)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<int> label(static_cast<size_t>(w) * h, 0);  // 0 unvisited, -1 outside
    auto isKey = [&](int x, int y) { return (image.pixel(x, y) & 0xffffffu) == (key & 0xffffffu); };
    auto fill = [&](int sx, int sy, int mark) {
        std::vector<std::pair<int, int>> stack{{sx, sy}};
        label[static_cast<size_t>(sy) * w + sx] = mark;
        while (!stack.empty()) {
            const auto [x, y] = stack.back();
            stack.pop_back();
            const int next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
            for (const auto& n : next) {
                const int nx = n[0];
                const int ny = n[1];
                if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                    continue;
                int& l = label[static_cast<size_t>(ny) * w + nx];
                if (l == 0 && isKey(nx, ny)) {
                    l = mark;
                    stack.emplace_back(nx, ny);
                }
            }
        }
    };
    for (int x = 0; x < w; ++x)
        for (int y : {0, h - 1})
            if (label[static_cast<size_t>(y) * w + x] == 0 && isKey(x, y))
                fill(x, y, -1);
    for (int y = 0; y < h; ++y)
        for (int x : {0, w - 1})
            if (label[static_cast<size_t>(y) * w + x] == 0 && isKey(x, y))
                fill(x, y, -1);
    int regions = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (label[static_cast<size_t>(y) * w + x] == 0 && isKey(x, y))
                fill(x, y, ++regions);
    return regions;
}

double luminance(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

double meanLuminance(const QImage& image, const QRect& area)
{
    double sum = 0.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += luminance(image.pixel(x, y));
    return sum / (double(area.width()) * area.height());
}

void checkSprite(const QString& dir, const Sprite& sprite)
{
    SCOPED_TRACE(sprite.name);
    const QString path = dir + QLatin1Char('/') + QLatin1String(sprite.name);
    const auto header = readBmpHeader(path);
    ASSERT_TRUE(header.has_value()) << "not a BMP: " << path.toStdString();
    EXPECT_EQ(header->width, sprite.width);
    EXPECT_EQ(header->height, sprite.height);  // positive: stored bottom-up, as the game's loader expects
    EXPECT_EQ(header->bitsPerPixel, 24);
    EXPECT_EQ(header->compression, 0);

    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    const QRgb key = image.pixel(0, image.height() - 1);
    const int w = image.width();
    const int h = image.height();
    EXPECT_EQ(image.pixel(0, 0), key);
    EXPECT_EQ(image.pixel(w - 1, 0), key);
    EXPECT_EQ(image.pixel(w - 1, h - 1), key);

    long drawn = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            drawn += image.pixel(x, y) != key;
    const double cover = double(drawn) / (double(w) * h);
    EXPECT_GE(cover, sprite.minCover);
    EXPECT_LE(cover, sprite.maxCover);

    if (sprite.points != Points::nowhere) {
        // Seen along its axis, an arrow is wider in its front third than in
        // its back third, and mirror-symmetric across the axis.
        const bool vertical = sprite.points == Points::up || sprite.points == Points::down;
        const bool headFirst = sprite.points == Points::left || sprite.points == Points::up;
        int spread[2][2] = {{1 << 20, -1}, {1 << 20, -1}};  // [front, back][min, max] across the axis
        double across = 0.0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (image.pixel(x, y) == key)
                    continue;
                const int along = vertical ? y : x;
                const int side = vertical ? x : y;
                across += side;
                const int length = vertical ? h : w;
                const int third = headFirst ? along * 3 / length : 2 - along * 3 / length;
                if (third == 1)
                    continue;
                const int end = third == 0 ? 0 : 1;
                spread[end][0] = std::min(spread[end][0], side);
                spread[end][1] = std::max(spread[end][1], side);
            }
        const int headWidth = spread[0][1] - spread[0][0];
        const int tailWidth = spread[1][1] - spread[1][0];
        EXPECT_GT(headWidth, tailWidth + 4) << "head " << headWidth << ", tail " << tailWidth;
        EXPECT_NEAR(across / drawn, ((vertical ? w : h) - 1) / 2.0, 0.5);
    }

    EXPECT_EQ(countEnclosedKeyRegions(image, key), sprite.enclosedHoles);
}

void checkBackground(const QString& dir)
{
    const QString path = dir + QStringLiteral("/bgd.bmp");
    const auto header = readBmpHeader(path);
    ASSERT_TRUE(header.has_value()) << "not a BMP: " << path.toStdString();
    EXPECT_EQ(header->width, 1024);
    EXPECT_EQ(header->height, 768);
    EXPECT_EQ(header->bitsPerPixel, 24);
    EXPECT_EQ(header->compression, 0);

    // The field is shown stretched to 711 x 670. The lanes (panel x 16..332)
    // need a dark backdrop for the arrows, the score board (x 440..680)
    // a light one for its black labels.
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    const double sx = image.width() / 711.0;
    const double sy = image.height() / 670.0;
    auto toBitmap = [&](int left, int top, int right, int bottom) {
        return QRect(QPoint(int(left * sx), int(top * sy)), QPoint(int(right * sx) - 1, int(bottom * sy) - 1));
    };
    EXPECT_LT(meanLuminance(image, toBitmap(16, 0, 332, 670)), 60.0);
    EXPECT_GT(meanLuminance(image, toBitmap(446, 40, 676, 630)), 190.0);
}

void checkIcon(const QString& dir)
{
    const QImage icon(dir + QStringLiteral("/icon.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(256, 256));
    EXPECT_TRUE(icon.hasAlphaChannel());
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(255, 255)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(128, 128)), 255);
}

void checkAll(const QString& dir)
{
    for (const Sprite& sprite : kSprites)
        checkSprite(dir, sprite);
    checkBackground(dir);
    checkIcon(dir);
}

TEST(Pictures, FreshlyDrawnSetMeetsTheGamesRules)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess run;
    run.start(QStringLiteral(ZORV_MAKE_PICTURES), {out.path()});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    checkAll(out.path());
}

TEST(Pictures, CommittedSetMeetsTheGamesRules) { checkAll(QStringLiteral(ZORV_ASSETS_DIR)); }

}  // namespace
