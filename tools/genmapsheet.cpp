// Writes the sample map sheet of the program folder: Kalmarsund and Öland at 100 metres per
// pixel in RT90, drawn from the committed outline of Sweden (data/geo/sweden_outline.txt) as a
// land survey raster map file (*.rik) with LZW tiles, so the maps screen can be tried on a
// fresh installation.
//
//   genmapsheet <sweden_outline.txt> <Kalmarsund.rik> [<Maps.dat>]
//
// With a maps table file named, a program folder that has none gets one listing the sheet as
// an imported map, so a fresh installation shows it on the overview. A table that exists is
// never touched.
//
// The sheet is 7 x 7 tiles of 250 x 250 pixels: water, land, the coastline, the 10 km RT90
// grid, a few towns and names. Painting runs without antialiasing so that every pixel has
// one of the palette's colours. The file is written beside its final name and renamed over
// it, so a failed run leaves the previous sheet whole.
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"

#include "tools/GenSupport.h"
#include "tools/rik/RikWriter.h"

namespace {

constexpr int kBlock = 250;
constexpr int kTiles = 7;
constexpr int kPixels = kBlock * kTiles;
constexpr double kMetresPerPixel = 100.0;
constexpr double kXMin = 1470000;  // west edge
constexpr double kYMax = 6375000;  // north edge
constexpr double kYMin = kYMax - kPixels * kMetresPerPixel;

// The palette: index and colour.
const QRgb kColours[] = {
    qRgb(170, 211, 236),  // 0 water
    qRgb(238, 236, 214),  // 1 land
    qRgb(52, 104, 160),  // 2 coastline
    qRgb(150, 160, 175),  // 3 grid
    qRgb(40, 40, 40),  // 4 town names and dots
    qRgb(40, 90, 150),  // 5 water names
    qRgb(200, 230, 245),  // 6 shallow water along the coast
};

enum class Kind { Town, Water, Land };

struct Place {
    const char* Name;
    double X, Y;  // RT90
    Kind What;
};

// Positions projected from WGS 84 with PROJ (EPSG:4326 to EPSG:3021).
const Place kPlaces[] = {
    {"Kalmar", 1533822, 6281934, Kind::Town},      {"Borgholm", 1551864, 6306173, Kind::Town},
    {"Mörbylånga", 1535718, 6266504, Kind::Town},  {"Färjestaden", 1540467, 6280946, Kind::Town},
    {"Nybro", 1506172, 6290823, Kind::Town},       {"Oskarshamn", 1538810, 6348920, Kind::Town},
    {"Kalmarsund", 1524000, 6312000, Kind::Water}, {"Östersjön", 1600000, 6262000, Kind::Water},
    {"ÖLAND", 1563000, 6330000, Kind::Land},
};

int Fail(const QString& message) {
    std::fprintf(stderr, "genmapsheet: %s\n", qPrintable(message));
    return 1;
}

// Gives a program folder without a maps table one that lists the sheet.
int ListSheet(const QString& sheetFile, const QString& tableFile) {
    if (QFileInfo::exists(tableFile)) return 0;
    const TDM::TTableInfo* info = TDM::FindTableInfo(QStringLiteral("cdsMaps"));
    if (!info) return Fail("the data module has no maps table");
    QDir().mkpath(QFileInfo(tableFile).absolutePath());
    const QString temp = tableFile + ".new";
    try {
        TClientDataSet table;
        table.SetFieldDefs(info->Fields);
        table.CreateDataSet();
        table.SetLogChanges(false);
        table.Append();
        const qint32 xMax = qint32(kXMin + kPixels * kMetresPerPixel);
        table.FieldByName("UKey")->SetAsString(QStringLiteral("110KALMARSUNDSHEET"));
        table.FieldByName("MapName")->SetAsString(QStringLiteral("Kalmarsund och Öland, exempelblad"));
        // Relative to the program folder (the table lies in its Data/Db), so that the sample
        // stays found when the program folder is moved.
        const QDir program(QFileInfo(tableFile).absoluteDir().absoluteFilePath(QStringLiteral("../..")));
        table.FieldByName("Filename")->SetAsString(program.relativeFilePath(QFileInfo(sheetFile).absoluteFilePath()));
        table.FieldByName("Scale")->SetAsInteger(250000);
        table.FieldByName("CoordULX")->SetAsInteger(qint32(kXMin));
        table.FieldByName("CoordULY")->SetAsInteger(qint32(kYMax));
        table.FieldByName("CoordLRX")->SetAsInteger(xMax);
        table.FieldByName("CoordLRY")->SetAsInteger(qint32(kYMin));
        table.FieldByName("MapArea")->SetAsInteger(((xMax - qint32(kXMin)) / 1000) *
                                                   ((qint32(kYMax) - qint32(kYMin)) / 1000));
        table.FieldByName("MeterPerPixelX")->SetAsFloat(kMetresPerPixel);
        table.FieldByName("MeterPerPixelY")->SetAsFloat(kMetresPerPixel);
        table.Post();
        QFile::remove(temp);
        table.SaveToFile(temp);
        table.Close();
    } catch (const Exception& e) {
        QFile::remove(temp);
        return Fail(e.Message());
    }
    try {
        gensupport::LinkIntoPlace(temp, tableFile);
    } catch (const gensupport::Fail& f) {
        return Fail(f.Message);
    }
    return 0;
}

QPointF ToPixel(double x, double y) { return {(x - kXMin) / kMetresPerPixel, (kYMax - y) / kMetresPerPixel}; }

// Reads the outline's blocks: "ring n" or "hole n", then n lines "X Y".
bool ReadOutline(const QString& path, QPainterPath& land, QString& error) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QString("cannot read %1").arg(path);
        return false;
    }
    QTextStream text(&in);
    int lineNo = 0, rings = 0;
    while (!text.atEnd()) {
        const QString line = text.readLine().trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QStringList head = line.split(' ', Qt::SkipEmptyParts);
        bool ok = false;
        const int n = head.size() == 2 ? head.at(1).toInt(&ok) : 0;
        if (!ok || n < 3 || (head.at(0) != "ring" && head.at(0) != "hole")) {
            error = QString("%1:%2: expected \"ring <n>\" or \"hole <n>\"").arg(path).arg(lineNo);
            return false;
        }
        QPolygonF ring;
        for (int i = 0; i < n; ++i) {
            const QStringList xy = text.readLine().split(' ', Qt::SkipEmptyParts);
            ++lineNo;
            bool okX = false, okY = false;
            const double x = xy.size() == 2 ? xy.at(0).toDouble(&okX) : 0;
            const double y = xy.size() == 2 ? xy.at(1).toDouble(&okY) : 0;
            if (!okX || !okY) {
                error = QString("%1:%2: expected \"X Y\"").arg(path).arg(lineNo);
                return false;
            }
            ring << ToPixel(x, y);
        }
        ring << ring.first();
        land.addPolygon(ring);
        ++rings;
    }
    if (rings == 0) {
        error = path + " holds no ring";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Text is drawn with the installed fonts; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 && args.size() != 4)
        return Fail("usage: genmapsheet <sweden_outline.txt> <Kalmarsund.rik> [<Maps.dat>]");

    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    QString error;
    if (!ReadOutline(args.at(1), land, error)) return Fail(error);

    QImage image(kPixels, kPixels, QImage::Format_RGB32);
    image.fill(kColours[0]);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        // A light band of shallow water along the shore, then the land over it.
        p.strokePath(land, QPen(QColor(kColours[6]), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(land, QColor(kColours[1]));
        p.strokePath(land, QPen(QColor(kColours[2]), 2));

        p.setPen(QPen(QColor(kColours[3]), 1));
        for (double x = kXMin; x < kXMin + kPixels * kMetresPerPixel; x += 10000) {
            const double px = ToPixel(x, 0).x();
            p.drawLine(QPointF(px, 0), QPointF(px, kPixels));
        }
        for (double y = kYMax; y > kYMin; y -= 10000) {
            const double py = ToPixel(0, y).y();
            p.drawLine(QPointF(0, py), QPointF(kPixels, py));
        }

        for (const Place& place : kPlaces) {
            const QPointF at = ToPixel(place.X, place.Y);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setStyleStrategy(QFont::NoAntialias);
            font.setPixelSize(place.What == Kind::Town ? 15 : 19);
            font.setItalic(place.What == Kind::Water);
            font.setBold(place.What != Kind::Town);
            p.setFont(font);
            if (place.What == Kind::Town) {
                p.fillRect(QRectF(at.x() - 3, at.y() - 3, 7, 7), QColor(kColours[4]));
                p.setPen(QColor(kColours[4]));
                p.drawText(at + QPointF(7, -5), QString::fromUtf8(place.Name));
            } else {
                p.setPen(QColor(kColours[place.What == Kind::Water ? 5 : 4]));
                p.drawText(at, QString::fromUtf8(place.Name));
            }
        }
    }

    // Every pixel to its palette index; a colour the palette lacks would be a painting fault.
    QHash<QRgb, uint8_t> indexOf;
    rikwriter::Sheet sheet;
    for (int i = 0; i < int(std::size(kColours)); ++i) {
        indexOf.insert(kColours[i] | 0xFF000000u, uint8_t(i));
        sheet.Palette[3 * i] = uint8_t(qRed(kColours[i]));
        sheet.Palette[3 * i + 1] = uint8_t(qGreen(kColours[i]));
        sheet.Palette[3 * i + 2] = uint8_t(qBlue(kColours[i]));
    }
    std::vector<uint8_t> indices(size_t(kPixels) * kPixels);
    for (int y = 0; y < kPixels; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < kPixels; ++x) {
            const auto found = indexOf.constFind(row[x] | 0xFF000000u);
            if (found == indexOf.constEnd())
                return Fail(QString("colour %1 at %2, %3 is not in the palette").arg(row[x], 0, 16).arg(x).arg(y));
            indices[size_t(y) * kPixels + x] = *found;
        }
    }

    sheet.Title = QByteArray("Kalmarsund och \xd6land, exempelblad");
    sheet.YMin = kYMin;
    sheet.XMin = kXMin;
    sheet.YMax = kYMax;
    sheet.XMax = kXMin + kPixels * kMetresPerPixel;
    sheet.ScaleDenominator = 250000;
    sheet.ScaleValue = float(kMetresPerPixel);
    sheet.BlockWidth = sheet.BlockHeight = kBlock;
    sheet.TileColumns = sheet.TileRows = kTiles;
    std::vector<uint8_t> tile(size_t(kBlock) * kBlock);
    for (int r = 0; r < kTiles; ++r)
        for (int c = 0; c < kTiles; ++c) {
            for (int y = 0; y < kBlock; ++y)
                std::memcpy(tile.data() + size_t(y) * kBlock,
                            indices.data() + size_t(r * kBlock + y) * kPixels + size_t(c) * kBlock, kBlock);
            sheet.Tiles.push_back(rikwriter::EncodeLZW(tile.data(), kBlock, kBlock, {4096, 0}));
        }
    const QByteArray bytes = rikwriter::Write(sheet);

    const QString target = QFileInfo(args.at(2)).absoluteFilePath();
    QDir().mkpath(QFileInfo(target).absolutePath());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush() || !out.commit())
        return Fail(QString("cannot write %1").arg(target));
    if (args.size() == 4) return ListSheet(target, QFileInfo(args.at(3)).absoluteFilePath());
    return 0;
}
