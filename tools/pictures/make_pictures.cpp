// make-pictures OUTDIR
//
// Draws every picture the game ships and writes them into OUTDIR: the play
// field background, the arrows, the judgement words and the window icon.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QStringList>

#include <cstdio>

#include "tools/pictures/Arrows.h"
#include "tools/pictures/Background.h"
#include "tools/pictures/Icon.h"
#include "tools/pictures/KeyColour.h"
#include "tools/pictures/Words.h"

namespace {

using namespace zorv::pictures;

bool save(const QImage& image, const QDir& dir, const QString& name, const char* format)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, format)) {
        std::fprintf(stderr, "make-pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool saveSprite(const QImage& drawing, QRgb key, const QDir& dir, const QString& name)
{
    Flattened flat = flattenOntoKey(drawing, key);
    const int sealed = sealPinholes(flat.image, key, 12);
    if (flat.image.pixel(0, flat.image.height() - 1) != key) {
        std::fprintf(stderr, "make-pictures: %s covers its bottom-left key pixel\n", qPrintable(name));
        return false;
    }
    std::printf("%-10s key %3d,%3d,%3d", qPrintable(name), qRed(key), qGreen(key), qBlue(key));
    if (flat.nudged > 0)
        std::printf("  (%d pixels nudged off the key)", flat.nudged);
    if (sealed > 0)
        std::printf("  (%d pinhole pixels sealed)", sealed);
    std::printf("\n");
    return save(flat.image, dir, name, "BMP");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make-pictures OUTDIR\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-pictures: cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }

    bool ok = save(paintBackground(QSize(1024, 768)), dir, QStringLiteral("bgd.bmp"), "BMP");

    const struct {
        const char* name;
        Direction direction;
        const ArrowLook* look;
        QRgb key;
    } arrows[] = {
        {"bleft.bmp", Direction::left, nullptr, kMagenta}, {"bup.bmp", Direction::up, nullptr, kMagenta},
        {"bdown.bmp", Direction::down, nullptr, kMagenta}, {"bright.bmp", Direction::right, nullptr, kMagenta},
        {"left.bmp", Direction::left, &kBlue, kMagenta},   {"up.bmp", Direction::up, &kPink, kGreen},
        {"down.bmp", Direction::down, &kPurple, kGreen},   {"right.bmp", Direction::right, &kRainbow, kGreen},
    };
    for (const auto& arrow : arrows)
        ok = saveSprite(arrowTile(arrow.direction, arrow.look), arrow.key, dir, QString::fromLatin1(arrow.name)) && ok;

    // White is the key for the words, so their lightest shade stays off it.
    const struct {
        const char* name;
        const char* text;
        WordLook look;
    } words[] = {
        {"great.bmp", "GREAT!!", {QColor(150, 200, 255), QColor(30, 96, 232), QColor(8, 34, 120)}},
        {"good.bmp", "GOOD~~", {QColor(255, 170, 244), QColor(214, 30, 196), QColor(98, 6, 92)}},
        {"bad.bmp", "BAD...", {QColor(236, 150, 118), QColor(168, 58, 32), QColor(78, 20, 8)}},
        {"miss.bmp", "MISS...!", {QColor(255, 150, 140), QColor(222, 22, 22), QColor(104, 0, 0)}},
    };
    for (const auto& word : words)
        ok = saveSprite(paintWord(QString::fromLatin1(word.text), word.look, QSize(400, 120)), kWhite, dir,
                        QString::fromLatin1(word.name)) &&
             ok;

    ok = save(paintIcon(256), dir, QStringLiteral("icon.png"), "PNG") && ok;
    return ok ? 0 : 1;
}
