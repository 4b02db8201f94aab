// The stock pictures of the species pictures, drawn for the program folder.
//
//   genstockpics <folder>
//       Writes into <folder> (the program folder's Data/Pics): "_WebPic_sml.bmp" and
//       "_WebPic_lrg.bmp" (a picture given by its web address and not yet downloaded, as a
//       tile and large), "_BrokenPic_sml.bmp" (a tile whose thumbnail is missing),
//       "_PicMissing.bmp" (a picture whose file is missing) and "_NoMainPic.bmp" (a species
//       without a main picture). Each file is written beside its name and renamed over it.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QFont Font(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A globe of meridians and parallels: the sign of a picture on the web.
void DrawGlobe(QPainter& p, const QRectF& box) {
    p.save();
    p.setBrush(QColor(120, 170, 225));
    p.setPen(QPen(QColor(30, 70, 130), std::max(1.0, box.width() / 40)));
    p.drawEllipse(box);
    p.setBrush(Qt::NoBrush);
    for (double f : {0.25, 0.6})
        p.drawEllipse(QRectF(box.center().x() - box.width() * f / 2, box.top(), box.width() * f, box.height()));
    p.drawLine(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    for (double f : {0.25, 0.5, 0.75}) {
        const double y = box.top() + box.height() * f;
        const double half = box.width() / 2 * std::sqrt(1 - (2 * f - 1) * (2 * f - 1));
        p.drawLine(QPointF(box.center().x() - half, y), QPointF(box.center().x() + half, y));
    }
    p.restore();
}

// A picture frame with a mountain and a sun, crossed over when the picture is not there.
void DrawMissingPicture(QPainter& p, const QRectF& box, bool crossed) {
    p.save();
    const double pen = std::max(1.0, box.width() / 40);
    p.setPen(QPen(QColor(90, 90, 90), pen));
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(box);
    QPainterPath hills;
    hills.moveTo(box.left(), box.bottom());
    hills.lineTo(box.left() + box.width() * 0.35, box.top() + box.height() * 0.45);
    hills.lineTo(box.left() + box.width() * 0.55, box.top() + box.height() * 0.7);
    hills.lineTo(box.left() + box.width() * 0.75, box.top() + box.height() * 0.5);
    hills.lineTo(box.right(), box.bottom());
    hills.closeSubpath();
    p.setBrush(QColor(160, 170, 150));
    p.drawPath(hills);
    p.setBrush(QColor(235, 200, 90));
    p.drawEllipse(QPointF(box.left() + box.width() * 0.75, box.top() + box.height() * 0.25), box.width() * 0.08,
                  box.width() * 0.08);
    if (crossed) {
        p.setPen(QPen(QColor(190, 30, 30), pen * 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(box.topLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomLeft());
    }
    p.restore();
}

QImage Canvas(int width, int height, const QColor& background) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

void Caption(QPainter& p, const QRectF& box, const QString& text, int pixels, bool bold) {
    p.setFont(Font(pixels, bold));
    p.setPen(QColor(50, 50, 50));
    p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
}

QImage WebPicSmall() {
    QImage image = Canvas(90, 90, QColor(230, 238, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGlobe(p, QRectF(22, 6, 46, 46));
    Caption(p, QRectF(2, 54, 86, 16), QStringLiteral("WWW-bild"), 12, true);
    Caption(p, QRectF(2, 70, 86, 16), QStringLiteral("ej hämtad"), 11, false);
    return image;
}

QImage WebPicLarge() {
    QImage image = Canvas(320, 240, QColor(230, 238, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGlobe(p, QRectF(110, 20, 100, 100));
    Caption(p, QRectF(10, 130, 300, 30), QStringLiteral("WWW-bild som ännu inte är hämtad"), 16, true);
    Caption(p, QRectF(10, 165, 300, 50), QStringLiteral("Dubbelklicka på bilden för att hämta den från Internet."), 13,
            false);
    return image;
}

QImage BrokenPicSmall() {
    QImage image = Canvas(90, 90, QColor(236, 236, 236));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMissingPicture(p, QRectF(20, 8, 50, 40), true);
    Caption(p, QRectF(2, 52, 86, 34), QStringLiteral("Miniatyr saknas"), 11, true);
    return image;
}

QImage PicMissing() {
    QImage image = Canvas(320, 240, QColor(236, 236, 236));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMissingPicture(p, QRectF(100, 24, 120, 96), true);
    Caption(p, QRectF(10, 135, 300, 30), QStringLiteral("Bildfilen saknas"), 18, true);
    Caption(p, QRectF(10, 170, 300, 50), QStringLiteral("Bilden finns inte i programmets bildmapp."), 13, false);
    return image;
}

QImage NoMainPic() {
    QImage image = Canvas(211, 211, QColor(232, 232, 224));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    DrawMissingPicture(p, QRectF(55, 40, 100, 80), false);
    Caption(p, QRectF(10, 135, 191, 50), QStringLiteral("Ingen bild av arten"), 16, true);
    return image;
}

bool Write(const QString& folder, const QString& name, const QImage& image) {
    const QString target = folder + "/" + name;
    const QString temp = target + ".new";
    QFile::remove(temp);
    if (!image.save(temp, "BMP")) {
        QFile::remove(temp);
        return false;
    }
    QFile::remove(target);
    return QFile::rename(temp, target);
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: genstockpics <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "genstockpics: cannot make %s\n", argv[1]);
        return 1;
    }
    const QList<QPair<QString, QImage>> pictures = {
        {QStringLiteral("_WebPic_sml.bmp"), WebPicSmall()},       {QStringLiteral("_WebPic_lrg.bmp"), WebPicLarge()},
        {QStringLiteral("_BrokenPic_sml.bmp"), BrokenPicSmall()}, {QStringLiteral("_PicMissing.bmp"), PicMissing()},
        {QStringLiteral("_NoMainPic.bmp"), NoMainPic()},
    };
    for (const auto& [name, image] : pictures)
        if (!Write(folder, name, image)) {
            std::fprintf(stderr, "genstockpics: cannot write %s/%s\n", argv[1], qPrintable(name));
            return 1;
        }
    return 0;
}
