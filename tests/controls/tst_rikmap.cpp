// The raster map file reader: both header forms and their derived values, the header's
// refusals, the coding detection, RLE and LZW tiles (with clear codes, retries and the
// failure marking), tile ranges that do not fit the file, the component's file handling, a
// mutation sweep over valid files, and the sample sheet of the program folder.
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

#include "support/TestSupport.h"
#include "controls/FRRIKMap.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"
#include "tools/rik/RikWriter.h"

using rikwriter::Sheet;

namespace {

std::array<uint8_t, 768> TestPalette() {
    std::array<uint8_t, 768> p{};
    for (int i = 0; i < 256; ++i) {
        p[3 * i] = uint8_t(i);
        p[3 * i + 1] = uint8_t(255 - i);
        p[3 * i + 2] = uint8_t(i * 7);
    }
    return p;
}

QRgb PaletteRgb(int i) { return qRgb(i, 255 - i, uint8_t(i * 7)); }

std::vector<uint8_t> Filled(int w, int h, uint8_t value) { return std::vector<uint8_t>(size_t(w) * h, value); }

// The long-form example: 8 x 8 tiles of 50 x 50 pixels at 2.5 m per pixel.
Sheet ExampleSheet() {
    Sheet s;
    s.Title = "Exempel";
    s.YMin = 6500000;
    s.XMin = 1500000;
    s.YMax = 6501000;
    s.XMax = 1500900;
    s.ScaleDenominator = 10000;
    s.ScaleValue = 2.5f;
    s.BlockWidth = 50;
    s.BlockHeight = 50;
    s.TileColumns = 8;
    s.TileRows = 8;
    s.Palette = TestPalette();
    for (int i = 0; i < 64; ++i) {
        const auto px = Filled(50, 50, uint8_t(i));
        s.Tiles.push_back(rikwriter::EncodeRLE(px.data(), 50, 50));
    }
    return s;
}

// A sheet of one tile of the given pixels and coding.
Sheet OneTileSheet(int w, int h, const QByteArray& tile) {
    Sheet s = ExampleSheet();
    s.BlockWidth = w;
    s.BlockHeight = h;
    s.TileColumns = 1;
    s.TileRows = 1;
    s.Tiles = {tile};
    return s;
}

// Literal LZW codes only (no table entry is ever used), so the expected picture follows from
// the layout alone: the reader's widths grow as its table fills.
struct LiteralStream {
    rikwriter::detail::BitWriter Out;
    uint32_t ReaderSize = 257;
    int Width = 9;
    bool First = true;
    LiteralStream() { Out.Bytes.assign({0xFF, 0, 0, 0, 0}); }
    void Code(uint32_t code) {
        Out.Put(code, Width);
        if (!First) {
            if (ReaderSize < 8192) ++ReaderSize;
            if (ReaderSize == (1u << Width) && Width < 13) ++Width;
        }
        First = false;
    }
    QByteArray Bytes() const {
        return QByteArray(reinterpret_cast<const char*>(Out.Bytes.data()), qsizetype(Out.Bytes.size()));
    }
};

struct Fixture {
    QTemporaryDir dir;
    QString Write(const QByteArray& bytes, const QString& name = QStringLiteral("karta.rik")) {
        const QString path = dir.filePath(name);
        if (!testsupport::WriteBytes(path, bytes)) qFatal("cannot write fixture");
        return path;
    }
};

class RecordingOwner : public TRIKMapOwner {
public:
    QStringList Calls;
    void RIKSetScrollRanges(int h, int v) override { Calls << QStringLiteral("ranges %1 %2").arg(h).arg(v); }
    void RIKDropViewCache() override { Calls << QStringLiteral("drop"); }
    void RIKSetSurfaceVisible(bool visible) override {
        Calls << (visible ? QStringLiteral("show") : QStringLiteral("hide"));
    }
};

// The header read through a free-standing map, or the error it raises.
QString HeaderError(const QByteArray& bytes) {
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(bytes));
    return testsupport::ExceptionText([&] {
        map.OpenFile();
        map.ReadHeader();
    });
}

QImage DrawAll(TRIKMap& map) {
    QImage canvas(map.BlockWidth() * map.TileColumns(), map.BlockHeight() * map.TileRows(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    for (int r = 0; r < map.TileRows(); ++r)
        for (int c = 0; c < map.TileColumns(); ++c)
            map.DrawTile(painter, map.TileColumns() * r + c, c * map.BlockWidth(), r * map.BlockHeight());
    return canvas;
}

// Decodes a one-tile file's tile; the component must be active.
TRIKTile DecodeOne(const Sheet& s, TRIKCoding* coding = nullptr) {
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    if (coding) *coding = map.Coding();
    if (!map.DecodeTile(0)) qFatal("tile not decoded");
    return map.Tile();
}

bool Reached(const TRIKTile& t) {
    return std::all_of(t.Reached.begin(), t.Reached.end(), [](uint8_t r) { return r == 1; });
}

std::vector<uint8_t> NoisePicture(int w, int h, quint32 seed, int colours) {
    QRandomGenerator rng(seed);
    std::vector<uint8_t> px(size_t(w) * h);
    for (auto& p : px) p = uint8_t(rng.bounded(colours));
    return px;
}

// Blocks and lines like a map: land, water, a few roads.
std::vector<uint8_t> MapLikePicture(int w, int h) {
    std::vector<uint8_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v = (x * x + 3 * y * y) % 9000 < 4000 ? 10 : 20;
            if ((x + 2 * y) % 97 == 0 || y % 61 == 0) v = 30;
            if ((x / 7 + y / 5) % 23 == 0) v = uint8_t(40 + (x % 3));
            px[size_t(y) * w + x] = v;
        }
    return px;
}

}  // namespace

class TestRIKMap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { UIServices::SetMessageHook({}); }

    void longFormHeader();
    void shortFormHeader();
    void formDecision_data();
    void formDecision();
    void tileRowsRounding_data();
    void tileRowsRounding();
    void tileSizeRounding_data();
    void tileSizeRounding();
    void codedRowLength_data();
    void codedRowLength();
    void blockSizes_data();
    void blockSizes();
    void refusedHeaders_data();
    void refusedHeaders();
    void detection_data();
    void detection();
    void detectionSkipsEmptyFirstTile();
    void rleRows();
    void rleEndsEarly();
    void lzwAllNine();
    void lzwRoundTrip_data();
    void lzwRoundTrip();
    void lzwRowsBottomUpAndCut();
    void lzwStreamEndsEarly();
    void lzwSkipAfterClear();
    void lzwHighFirstCodeFails();
    void lzwHighCodeKeepsDecodedPart();
    void emptyTileIsWhite();
    void badTileRanges_data();
    void badTileRanges();
    void fileShrinksAfterHeader();
    void sheetCutInItsLastTileIsNoted();
    void activation();
    void activationFailure();
    void freeStandingHeader();
    void keepOpen();
    void mutations();
    void sampleSheet();
};

void TestRIKMap::longFormHeader() {
    Sheet s = ExampleSheet();
    s.Title = "Kalmar l\xe4n \x96 \xd6land";
    Fixture f;
    RecordingOwner owner;
    TRIKMap map(&owner);
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QVERIFY(map.Active());
    QCOMPARE(map.Title(), QStringLiteral("Kalmar län – Öland"));
    QVERIFY(!map.Header().ShortForm);
    QCOMPARE(map.XMin(), 1500000);
    QCOMPARE(map.YMin(), 6500000);
    QCOMPARE(map.YMax(), 6501000);
    QCOMPARE(map.ScaleDenominator(), 10000);
    QCOMPARE(map.MetresPerPixel(), 2.5);
    QCOMPARE(map.TileWidthM(), 125);
    QCOMPARE(map.TileHeightM(), 125);
    QCOMPARE(map.XMax(), 1501000);
    QCOMPARE(map.CentreX(), 1500500);
    QCOMPARE(map.CentreY(), 6500500);
    QCOMPARE(map.TileCount(), qint64(64));
    QCOMPARE(map.Coding(), TRIKCoding::RLE);
    // The scroll ranges come from the file's own east edge, before it is replaced.
    QCOMPARE(owner.Calls, QStringList({"ranges 900 1000", "drop", "show"}));
    QVERIFY(!map.FileOpen());

    const QImage all = DrawAll(map);
    QCOMPARE(all.pixel(10, 10), PaletteRgb(0));
    QCOMPARE(all.pixel(7 * 50 + 5, 5), PaletteRgb(7));  // column 7 of the northern row
    QCOMPARE(all.pixel(5, 7 * 50 + 5), PaletteRgb(56));  // row 7, column 0
    QVERIFY(map.TakeFailedTiles().isEmpty());
}

void TestRIKMap::shortFormHeader() {
    Sheet s = ExampleSheet();
    s.ShortForm = true;
    s.YMin = 6500000 - 4002995;
    s.XMin = 1500000 - 201000;
    s.YMax = 6501000 - 5004000;
    s.XMax = 1500900 - 302005;
    s.ScaleValue = 5.0f;
    s.ScaleDivisor = 2;
    Fixture f;
    RecordingOwner owner;
    TRIKMap map(&owner);
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QVERIFY(map.Header().ShortForm);
    QCOMPARE(map.Header().ScaleDivisor, 2);
    QCOMPARE(map.MetresPerPixel(), 2.5);
    QCOMPARE(map.YMin(), 6500000);
    QCOMPARE(map.XMin(), 1500000);
    QCOMPARE(map.YMax(), 6501000);
    QCOMPARE(map.XMax(), 1501000);
    QCOMPARE(map.TileRows(), 8);  // Round(1000 / (50 * 2.5)), no field in the file
    QCOMPARE(owner.Calls.first(), QStringLiteral("ranges 900 1000"));
    // Without the TileRows field the palette and offsets follow directly: the tiles read right.
    const QImage all = DrawAll(map);
    QCOMPARE(all.pixel(3 * 50 + 1, 2 * 50 + 1), PaletteRgb(19));
    QVERIFY(map.TakeFailedTiles().isEmpty());
}

void TestRIKMap::formDecision_data() {
    QTest::addColumn<double>("yMin");
    QTest::addColumn<bool>("shortForm");
    QTest::newRow("3 999 999 short") << 3999999.0 << true;
    QTest::newRow("3 999 998.5 rounds to even, short") << 3999998.5 << true;
    QTest::newRow("3 999 999.5 rounds to 4 000 000, long") << 3999999.5 << false;
    QTest::newRow("4 000 000 long") << 4000000.0 << false;
}

void TestRIKMap::formDecision() {
    QFETCH(double, yMin);
    QFETCH(bool, shortForm);
    Sheet s = ExampleSheet();
    s.ShortForm = shortForm;
    s.YMin = yMin;
    s.YMax = shortForm ? yMin : yMin + 1000;  // the short form's shifts part them by 1 001 005
    s.ScaleDivisor = 1;
    if (shortForm) s.ScaleValue = 2502.5f;  // eight rows of 125 125 m
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QCOMPARE(map.Header().ShortForm, shortForm);
    const qint64 rounded = qint64(std::nearbyint(yMin));
    QCOMPARE(qint64(map.YMin()), rounded + (shortForm ? 4002995 : 0));
    QVERIFY(map.TakeFailedTiles().isEmpty());
    const QImage all = DrawAll(map);
    QVERIFY(map.TakeFailedTiles().isEmpty());
    QCOMPARE(all.pixel(1, 1), PaletteRgb(0));
}

void TestRIKMap::tileRowsRounding_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::newRow("2.5 -> 2") << 125 << 2;
    QTest::newRow("3.5 -> 4") << 175 << 4;
    QTest::newRow("4.5 -> 4") << 225 << 4;
    QTest::newRow("4.4 -> 4") << 220 << 4;
}

void TestRIKMap::tileRowsRounding() {
    QFETCH(int, height);
    QFETCH(int, rows);
    Sheet s = ExampleSheet();
    s.ShortForm = true;
    s.YMin = 6500000 - 4002995;
    s.YMax = 6500000 + height - 5004000;
    s.XMin = 1500000 - 201000;
    s.XMax = 1500000 - 302005;
    s.ScaleValue = 1.0f;
    s.ScaleDivisor = 1;
    s.TileColumns = 1;
    s.Tiles.resize(size_t(rows));
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QCOMPARE(map.TileRows(), rows);
}

void TestRIKMap::tileSizeRounding_data() {
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("tileM");
    QTest::newRow("12.5 -> 12") << 0.25f << 12;
    QTest::newRow("37.5 -> 38") << 0.75f << 38;
    QTest::newRow("62.5 -> 62") << 1.25f << 62;
}

void TestRIKMap::tileSizeRounding() {
    QFETCH(float, scale);
    QFETCH(int, tileM);
    Sheet s = ExampleSheet();
    s.ScaleValue = scale;
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QCOMPARE(map.TileWidthM(), tileM);
    QCOMPARE(map.TileHeightM(), tileM);
    QCOMPARE(map.XMax(), 1500000 + 8 * tileM);
    QCOMPARE(map.CentreX(), 1500000 + 4 * tileM);
}

void TestRIKMap::codedRowLength_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("coded");
    for (auto [w, c] : {std::pair{50, 50}, {249, 249}, {250, 252}, {499, 501}, {500, 504}, {999, 1005}, {1000, 1008}})
        QTest::newRow(qPrintable(QString::number(w))) << w << c;
}

void TestRIKMap::codedRowLength() {
    QFETCH(int, width);
    QFETCH(int, coded);
    const auto px = Filled(width, 50, 3);
    Sheet s = OneTileSheet(width, 50, rikwriter::EncodeRLE(px.data(), width, 50));
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QCOMPARE(map.CodedRowLength(), coded);
}

void TestRIKMap::blockSizes_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("width 49") << 49 << 50 << false;
    QTest::newRow("width 1001") << 1001 << 50 << false;
    QTest::newRow("height 49") << 50 << 49 << false;
    QTest::newRow("height 1001") << 50 << 1001 << false;
    QTest::newRow("50 x 50") << 50 << 50 << true;
    QTest::newRow("1000 x 1000") << 1000 << 1000 << true;
}

void TestRIKMap::blockSizes() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, accepted);
    const auto px = Filled(width, height, 3);
    const QString error =
        HeaderError(rikwriter::Write(OneTileSheet(width, height, rikwriter::EncodeRLE(px.data(), width, height))));
    QCOMPARE(error,
             accepted ? testsupport::NoException : QStringLiteral("Invalid mapfile. Message: Invalid blocksize"));
}

void TestRIKMap::refusedHeaders_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QString ends = QStringLiteral("Kartfilen tar slut i förtid.");
    const QString edges = QStringLiteral("Kartans gränser är ogiltiga.");
    const QString scale = QStringLiteral("Kartans skala är ogiltig.");
    const QString size = QStringLiteral("Kartans rutstorlek är ogiltig.");
    const QString count = QStringLiteral("Kartans antal rutor är ogiltigt.");
    const QString table = QStringLiteral("Kartans rutförteckning ryms inte i filen.");
    const QByteArray good = rikwriter::Write(ExampleSheet());
    const qsizetype headerSize = rikwriter::HeaderBytes(ExampleSheet()).size();

    auto with = [](auto change) {
        Sheet s = ExampleSheet();
        change(s);
        return rikwriter::Write(s);
    };
    QByteArray negativeTitle = good;
    negativeTitle[0] = char(0xFF);
    negativeTitle[1] = char(0xFF);
    QTest::newRow("negative title length") << negativeTitle << QStringLiteral("Kartans titel har en ogiltig längd.");
    QByteArray longTitle = good;
    longTitle[0] = char(0xFF);
    longTitle[1] = char(0x7F);
    QTest::newRow("title longer than the file") << longTitle << ends;
    QTest::newRow("empty file") << QByteArray() << ends;
    QTest::newRow("ends inside the palette") << good.left(headerSize - 100) << ends;
    QTest::newRow("ends inside the offsets") << good.left(headerSize + 100) << table;
    QTest::newRow("YMin NaN") << with([&](Sheet& s) { s.YMin = nan; }) << edges;
    QTest::newRow("XMin infinite") << with([&](Sheet& s) { s.XMin = -inf; }) << edges;
    QTest::newRow("YMax beyond 32 bits") << with([](Sheet& s) { s.YMax = 3e9; }) << edges;
    QTest::newRow("XMax huge") << with([](Sheet& s) { s.XMax = 1e300; }) << edges;
    QTest::newRow("short form shift beyond 32 bits") << with([](Sheet& s) {
        s.ShortForm = true;
        s.YMin = 2147483000.0 - 1e10;
        s.YMax = 2147483000.0;
    }) << edges;
    QTest::newRow("YMax equals YMin") << with([](Sheet& s) { s.YMax = s.YMin; }) << edges;
    QTest::newRow("YMax below YMin") << with([](Sheet& s) { s.YMax = s.YMin - 1; }) << edges;
    QTest::newRow("scale 0") << with([](Sheet& s) { s.ScaleValue = 0; }) << scale;
    QTest::newRow("scale negative") << with([](Sheet& s) { s.ScaleValue = -2.5f; }) << scale;
    QTest::newRow("scale NaN") << with([](Sheet& s) { s.ScaleValue = std::numeric_limits<float>::quiet_NaN(); })
                               << scale;
    QTest::newRow("short form divisor 0") << with([](Sheet& s) {
        s.ShortForm = true;
        s.YMin = 2497005;
        s.YMax = 1497000;
        s.ScaleDivisor = 0;
    }) << scale;
    QTest::newRow("short form divisor negative") << with([](Sheet& s) {
        s.ShortForm = true;
        s.YMin = 2497005;
        s.YMax = 1497000;
        s.ScaleDivisor = -2;
    }) << scale;
    QTest::newRow("tile below one metre") << with([](Sheet& s) { s.ScaleValue = 0.01f; }) << size;
    QTest::newRow("tile wider than 32 bits") << with([](Sheet& s) { s.ScaleValue = 1e30f; }) << size;
    QTest::newRow("no columns") << with([](Sheet& s) { s.TileColumns = 0; }) << count;
    QTest::newRow("negative rows") << with([](Sheet& s) { s.TileRows = -8; }) << count;
    QTest::newRow("east edge beyond 32 bits") << with([](Sheet& s) { s.TileColumns = 20000000; }) << edges;
    QTest::newRow("offset table larger than the file") << with([](Sheet& s) {
        s.TileColumns = 1000;
        s.TileRows = 2000000000;
    }) << table;
}

void TestRIKMap::refusedHeaders() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QCOMPARE(HeaderError(bytes), QStringLiteral("Invalid mapfile. Message: ") + message);
}

void TestRIKMap::detection_data() {
    QTest::addColumn<QByteArray>("tile");
    QTest::addColumn<TRIKCoding>("coding");
    const auto px = Filled(50, 50, 4);
    QTest::newRow("RLE rows of 50") << rikwriter::EncodeRLE(px.data(), 50, 50) << TRIKCoding::RLE;
    QTest::newRow("first row sums to 51") << QByteArray::fromHex("18011901") << TRIKCoding::LZW;
    QTest::newRow("first row exactly 50 in two runs") << QByteArray::fromHex("18011800") << TRIKCoding::RLE;
    QTest::newRow("LZW tile") << rikwriter::EncodeLZW(px.data(), 50, 50) << TRIKCoding::LZW;
    QTest::newRow("ends before the width") << QByteArray::fromHex("0a01") << TRIKCoding::LZW;
}

void TestRIKMap::detection() {
    QFETCH(QByteArray, tile);
    QFETCH(TRIKCoding, coding);
    TRIKCoding read = TRIKCoding::RLE;
    DecodeOne(OneTileSheet(50, 50, tile), &read);
    QCOMPARE(read, coding);
}

void TestRIKMap::detectionSkipsEmptyFirstTile() {
    Sheet s = ExampleSheet();
    const auto px = Filled(50, 50, 6);
    for (auto& t : s.Tiles) t = rikwriter::EncodeLZW(px.data(), 50, 50);
    s.Tiles[0].clear();
    s.Tiles[1].clear();
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    QCOMPARE(map.Coding(), TRIKCoding::LZW);
    const QImage all = DrawAll(map);
    QCOMPARE(all.pixel(2 * 50 + 3, 3), PaletteRgb(6));
    QCOMPARE(all.pixel(3, 3), qRgb(255, 255, 255));
}

void TestRIKMap::rleRows() {
    // Row 0: 50 of 1. Row 1: 30 of 2, then 30 of 3 of which 10 are dropped; row 2 starts
    // with the next pair.
    QByteArray tile = QByteArray::fromHex("3101 1d02 1d03");
    for (int y = 2; y < 50; ++y) tile += QByteArray::fromHex("3105");
    TRIKCoding coding;
    const TRIKTile t = DecodeOne(OneTileSheet(50, 50, tile), &coding);
    QCOMPARE(coding, TRIKCoding::RLE);
    QVERIFY(Reached(t));
    QCOMPARE(t.Index[49], uint8_t(1));
    QCOMPARE(t.Index[50], uint8_t(2));
    QCOMPARE(t.Index[79], uint8_t(2));
    QCOMPARE(t.Index[80], uint8_t(3));
    QCOMPARE(t.Index[99], uint8_t(3));
    QCOMPARE(t.Index[100], uint8_t(5));
    QCOMPARE(t.Index[49 * 50 + 49], uint8_t(5));
    QVERIFY(!t.Failed);
}

void TestRIKMap::rleEndsEarly() {
    // Two and a half rows, then a lone byte: the rest stays white.
    QByteArray tile = QByteArray::fromHex("3101 3102 1803 ff");
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(OneTileSheet(50, 50, tile))));
    map.SetActive(true);
    QVERIFY(map.DecodeTile(0));
    const QImage& img = map.TileBitmap();
    QCOMPARE(img.pixelColor(10, 1).rgb(), PaletteRgb(2));
    QCOMPARE(img.pixelColor(24, 2).rgb(), PaletteRgb(3));
    QCOMPARE(img.pixelColor(25, 2).rgb(), qRgb(255, 255, 255));
    QCOMPARE(img.pixelColor(10, 40).rgb(), qRgb(255, 255, 255));
    QVERIFY(!map.Tile().Failed);
}

void TestRIKMap::lzwAllNine() {
    const auto px = Filled(50, 50, 9);
    const QByteArray tile = rikwriter::EncodeLZW(px.data(), 50, 50);
    QCOMPARE(tile.size(), 85);
    QCOMPARE(tile.left(12), QByteArray::fromHex("FF000000000902 0A1C48B0A0"));
    // The second code names the entry being made (257 while the table has 257 entries).
    const uint32_t bits = uint8_t(tile[5]) | uint8_t(tile[6]) << 8 | uint8_t(tile[7]) << 16;
    QCOMPARE(bits & 0x1FF, 9u);
    QCOMPARE((bits >> 9) & 0x1FF, 257u);
    TRIKCoding coding;
    const TRIKTile t = DecodeOne(OneTileSheet(50, 50, tile), &coding);
    QCOMPARE(coding, TRIKCoding::LZW);
    QVERIFY(Reached(t));
    QVERIFY(std::all_of(t.Index.begin(), t.Index.end(), [](uint8_t v) { return v == 9; }));
}

void TestRIKMap::lzwRoundTrip_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("picture");
    QTest::addColumn<int>("clearAt");
    QTest::addColumn<int>("adjustment");
    // picture 0: map-like, 1: noise of 256 colours (fills the table to 8192 entries, 13 bits)
    QTest::newRow("map 250 x 250, no clear") << 250 << 250 << 0 << 0 << 0;
    QTest::newRow("map 250 x 250, clears") << 250 << 250 << 0 << 300 << 0;
    QTest::newRow("noise 500 x 200, table full") << 500 << 200 << 1 << 0 << 0;
    QTest::newRow("noise 500 x 200, clear at 4096") << 500 << 200 << 1 << 4096 << 0;
    QTest::newRow("noise 1000 x 60, clear at 8192") << 1000 << 60 << 1 << 8192 << 0;
    QTest::newRow("map 777 x 123, clears") << 777 << 123 << 0 << 600 << 0;
    QTest::newRow("map 250 x 250, clears needing +1") << 250 << 250 << 0 << 300 << 1;
    QTest::newRow("noise 300 x 300, clears needing +1") << 300 << 300 << 1 << 1000 << 1;
}

void TestRIKMap::lzwRoundTrip() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, picture);
    QFETCH(int, clearAt);
    QFETCH(int, adjustment);
    const auto px = picture == 0 ? MapLikePicture(width, height) : NoisePicture(width, height, 7, 256);
    const QByteArray tile = rikwriter::EncodeLZW(px.data(), width, height, {uint32_t(clearAt), adjustment});
    if (clearAt) QVERIFY(tile.size() > 0);
    TRIKCoding coding;
    const TRIKTile t = DecodeOne(OneTileSheet(width, height, tile), &coding);
    QCOMPARE(coding, TRIKCoding::LZW);
    QVERIFY(!t.Failed);
    QVERIFY(Reached(t));
    QVERIFY(t.Index == px);
    if (adjustment != 0) {
        // Read without the adjustment, the stream does not give the picture.
        TRIKTileDecoder decoder;
        TRIKTile plain;
        const int crl = width + 2 * (width / 250);
        bool same = false;
        try {
            decoder.DecodeLZW(reinterpret_cast<const uint8_t*>(tile.constData()), tile.size(), width, height, crl, 0,
                              plain);
            same = plain.Index == px && Reached(plain);
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("Hög kod!"));
        }
        QVERIFY(!same);
    }
}

void TestRIKMap::lzwRowsBottomUpAndCut() {
    // 250 wide: each coded row is 252 pixels, its first 250 are the row, then two of index 99.
    // The 15 120 codes take the reader's widths from 9 through 13 bits and its table to its end.
    LiteralStream s;
    for (int r = 0; r < 60; ++r) {
        for (int x = 0; x < 250; ++x) s.Code(uint32_t(r));
        s.Code(99);
        s.Code(99);
    }
    const TRIKTile t = DecodeOne(OneTileSheet(250, 60, s.Bytes()));
    QVERIFY(Reached(t));
    QVERIFY(!t.Failed);
    for (int y = 0; y < 60; ++y) {
        const auto* row = t.Index.data() + size_t(y) * 250;
        QVERIFY2(std::all_of(row, row + 250, [&](uint8_t v) { return v == 59 - y; }), qPrintable(QString::number(y)));
    }
}

void TestRIKMap::lzwStreamEndsEarly() {
    // Twenty coded rows of a 50 x 50 tile: the rest (the top rows) stays red.
    LiteralStream s;
    for (int i = 0; i < 20 * 50; ++i) s.Code(12);
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(OneTileSheet(50, 50, s.Bytes()))));
    map.SetActive(true);
    QCOMPARE(map.Coding(), TRIKCoding::LZW);
    QVERIFY(map.DecodeTile(0));
    QVERIFY(!map.Tile().Failed);
    QCOMPARE(map.TileBitmap().pixelColor(5, 49).rgb(), PaletteRgb(12));
    QCOMPARE(map.TileBitmap().pixelColor(5, 30).rgb(), PaletteRgb(12));
    QCOMPARE(map.TileBitmap().pixelColor(5, 29).rgb(), qRgb(255, 0, 0));
    QCOMPARE(map.TileBitmap().pixelColor(5, 0).rgb(), qRgb(255, 0, 0));
}

void TestRIKMap::lzwSkipAfterClear() {
    // A coded row or a little more of 3s, a clear, then the rest in the colour of the byte 13 before the
    // next code: that byte is written twice and the reader must skip the copy.
    LiteralStream s;
    const uint8_t first = 3;
    uint8_t next = first;
    size_t p = 0;
    for (int n = 50; n < 70 && next == first; ++n) {
        s = LiteralStream();
        for (int i = 0; i < n; ++i) s.Code(first);
        if ((s.Out.BitOffset + s.Width) % 8 == 0) continue;
        s.Out.Put(256, s.Width);
        s.Out.BitOffset = 0;
        p = s.Out.Bytes.size();
        next = s.Out.Bytes[p - 13];
    }
    QVERIFY(next != first);
    QVERIFY(rikwriter::detail::FillAfterClear(s.Out.Bytes, next, 0));
    QVERIFY(s.Out.Bytes.size() > p);  // at least one copied byte stands before the code
    s.ReaderSize = 257;
    s.Width = 9;
    s.First = true;
    for (int i = 0; i < 2450; ++i) s.Code(next);
    const TRIKTile t = DecodeOne(OneTileSheet(50, 50, s.Bytes()));
    QVERIFY(Reached(t));
    QVERIFY(!t.Failed);
    QCOMPARE(t.Index[49 * 50 + 7], first);
    QCOMPARE(t.Index[48 * 50 + 7], next);
    QCOMPARE(t.Index[7], next);
}

void TestRIKMap::lzwHighFirstCodeFails() {
    LiteralStream s;
    s.Code(300);
    for (int i = 0; i < 100; ++i) s.Code(1);
    Sheet sheet = OneTileSheet(200, 200, s.Bytes());
    sheet.TileColumns = 2;
    sheet.Tiles.push_back(s.Bytes());
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(sheet)));
    map.SetActive(true);
    UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
    UIServices::ClearMessageLog();
    QImage canvas(400, 200, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        map.DrawTile(painter, 0, 0, 0);
        map.DrawTile(painter, 1, 200, 0);
    }
    QVERIFY(map.Tile().Failed);
    QCOMPARE(canvas.pixel(120, 120), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(10, 190), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(320, 120), qRgb(255, 0, 0));
    QVERIFY(UIServices::MessageLog().isEmpty());  // nothing is shown while painting
    map.ReportFailedTiles();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, QStringLiteral("Utanför området!"));
    map.ReportFailedTiles();
    QCOMPARE(UIServices::MessageLog().size(), 1);
}

void TestRIKMap::lzwHighCodeKeepsDecodedPart() {
    // Runs of 4 that grow by one pixel per code (each code names the entry being made) fill
    // 110 coded rows of 200 pixels; then a code beyond the table.
    LiteralStream s;
    s.Code(4);
    qint64 pixels = 1;
    for (uint32_t k = 0; pixels < 110 * 200; ++k) {
        s.Code(257 + k);
        pixels += k + 2;
    }
    QVERIFY(s.ReaderSize < (1u << s.Width) - 1);
    s.Code((1u << s.Width) - 1);
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(OneTileSheet(200, 200, s.Bytes()))));
    map.SetActive(true);
    QVERIFY(map.DecodeTile(0));
    QVERIFY(map.Tile().Failed);
    QCOMPARE(map.TakeFailedTiles(), QList<int>{0});
    const QImage& img = map.TileBitmap();
    QCOMPARE(img.pixelColor(5, 199).rgb(), PaletteRgb(4));
    QCOMPARE(img.pixelColor(5, 120).rgb(), PaletteRgb(4));
    QCOMPARE(img.pixelColor(120, 120).rgb(), qRgb(255, 0, 0));  // the square over decoded pixels
    QCOMPARE(img.pixelColor(160, 120).rgb(), PaletteRgb(4));
    QCOMPARE(img.pixelColor(5, 20).rgb(), qRgb(255, 0, 0));  // never reached
}

void TestRIKMap::emptyTileIsWhite() {
    Sheet s = ExampleSheet();
    s.Tiles[1].clear();
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetActive(true);
    const QImage all = DrawAll(map);
    QCOMPARE(all.pixel(10, 10), PaletteRgb(0));
    QCOMPARE(all.pixel(60, 10), qRgb(255, 255, 255));
    QCOMPARE(all.pixel(110, 10), PaletteRgb(2));
    QVERIFY(map.TakeFailedTiles().isEmpty());
}

void TestRIKMap::badTileRanges_data() {
    QTest::addColumn<int>("tile");  // the tile whose offset is changed
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("failed");  // a tile that must fail
    enum { InsideTable, Zero, Negative, Backwards, PastEnd, TooLarge };
    QTest::newRow("starts inside the offset table") << 5 << int(InsideTable) << 5;
    QTest::newRow("starts at 0") << 5 << int(Zero) << 5;
    QTest::newRow("negative offset") << 5 << int(Negative) << 5;
    QTest::newRow("runs backwards") << 5 << int(Backwards) << 4;
    QTest::newRow("starts past the end") << 5 << int(PastEnd) << 5;
    QTest::newRow("last tile past the end") << 63 << int(PastEnd) << 63;
    QTest::newRow("last tile too large") << 63 << int(TooLarge) << 63;
}

void TestRIKMap::badTileRanges() {
    QFETCH(int, tile);
    QFETCH(int, kind);
    QFETCH(int, failed);
    Sheet s = ExampleSheet();
    if (kind == 5) s.Tiles[63] = QByteArray(8 * 50 * 50 + 65536 + 2, char(0x31));
    QByteArray bytes = rikwriter::Write(s);
    const qint64 tableStart = rikwriter::HeaderBytes(s).size();
    const qint64 tableEnd = tableStart + 4 * 64;
    auto offsetOf = [&](int i) {
        qint64 v = 0;
        for (int k = 3; k >= 0; --k) v = v << 8 | uint8_t(bytes[tableStart + 4 * i + k]);
        return v;
    };
    const qint64 offsets[] = {tableEnd - 4, 0, -100, offsetOf(tile - 1) - 2, bytes.size() + 1, offsetOf(tile)};
    QByteArray field;
    rikwriter::PutInt32(field, qint32(offsets[kind]));
    bytes.replace(tableStart + 4 * tile, 4, field);
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(bytes));
    map.SetActive(true);
    const QImage all = DrawAll(map);
    QVERIFY(map.TakeFailedTiles().contains(failed));
    // The other tiles still read; the failed one is white (its square lies outside 50 x 50).
    QCOMPARE(all.pixel(10, 10), PaletteRgb(0));
    QCOMPARE(all.pixel((failed % 8) * 50 + 5, (failed / 8) * 50 + 5), qRgb(255, 255, 255));
    QCOMPARE(all.pixel(1 * 50 + 5, 7 * 50 + 5), PaletteRgb(57));
}

void TestRIKMap::fileShrinksAfterHeader() {
    Fixture f;
    const QByteArray bytes = rikwriter::Write(ExampleSheet());
    const QString path = f.Write(bytes);
    TRIKMap map;
    map.SetFileName(path);
    map.SetActive(true);
    // The file loses its last tile and a half after the header was read.
    const qint64 cut = bytes.size() - ExampleSheet().Tiles[63].size() - ExampleSheet().Tiles[62].size() / 2;
    QVERIFY(testsupport::WriteBytes(path, bytes.left(cut)));
    const QImage all = DrawAll(map);
    const QList<int> failed = map.TakeFailedTiles();
    QCOMPARE(failed, QList<int>({62, 63}));
    QCOMPARE(all.pixel(7 * 50 + 5, 7 * 50 + 5), qRgb(255, 255, 255));
    QCOMPARE(all.pixel(6 * 50 + 5, 7 * 50 + 5), qRgb(255, 255, 255));
    QCOMPARE(all.pixel(5 * 50 + 5, 7 * 50 + 5), PaletteRgb(61));
}

// A sheet cut off inside its last tile: that tile's range still ends at the file's end, but
// its data stops before the tile is full. The rest is white, and the tile is noted to be told.
void TestRIKMap::sheetCutInItsLastTileIsNoted() {
    Fixture f;
    const Sheet s = ExampleSheet();
    const QByteArray bytes = rikwriter::Write(s);
    TRIKMap map;
    map.SetFileName(f.Write(bytes.left(bytes.size() - s.Tiles[63].size() / 2)));
    map.SetActive(true);
    const QImage all = DrawAll(map);
    QCOMPARE(map.TakeFailedTiles(), QList<int>({63}));
    QCOMPARE(all.pixel(7 * 50 + 5, 7 * 50 + 2), PaletteRgb(63));
    QCOMPARE(all.pixel(7 * 50 + 5, 7 * 50 + 48), qRgb(255, 255, 255));
    QCOMPARE(all.pixel(6 * 50 + 5, 7 * 50 + 5), PaletteRgb(62));
}

void TestRIKMap::activation() {
    Fixture f;
    const QString path = f.Write(rikwriter::Write(ExampleSheet()));
    RecordingOwner owner;
    TRIKMap map(&owner);
    QImage canvas(50, 50, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        map.DrawTile(painter, 0, 0, 0);  // inactive: nothing
    }
    QCOMPARE(canvas.pixel(3, 3), qRgb(0, 0, 0));
    map.SetFileName(path);
    map.SetActive(true);
    QVERIFY(map.Active());
    owner.Calls.clear();
    map.SetFileName(path);  // the same name changes nothing
    QVERIFY(map.Active());
    map.SetFileName(f.Write(rikwriter::Write(ExampleSheet()), "annan.rik"));
    QVERIFY(!map.Active());
    QCOMPARE(owner.Calls, QStringList({"drop", "hide"}));
    {
        QPainter painter(&canvas);
        map.DrawTile(painter, 0, 0, 0);
    }
    QCOMPARE(canvas.pixel(3, 3), qRgb(0, 0, 0));
}

void TestRIKMap::activationFailure() {
    Fixture f;
    RecordingOwner owner;
    TRIKMap map(&owner);
    map.SetFileName(f.dir.filePath("saknas.rik"));
    const QString missing = testsupport::ExceptionText([&] { map.SetActive(true); });
    QVERIFY2(
        missing.startsWith(QStringLiteral("Filen \"")) && missing.endsWith(QStringLiteral("\" kunde inte öppnas.")),
        qPrintable(missing));
    QVERIFY(!map.Active());
    QVERIFY(owner.Calls.isEmpty());

    Sheet s = ExampleSheet();
    s.BlockWidth = 1001;
    map.SetFileName(f.Write(rikwriter::Write(s)));
    map.SetKeepOpen(true);
    QCOMPARE(testsupport::ExceptionText([&] { map.SetActive(true); }),
             QStringLiteral("Invalid mapfile. Message: Invalid blocksize"));
    QVERIFY(!map.Active());
    QVERIFY(!map.FileOpen());
    QCOMPARE(owner.Calls, QStringList({"ranges 900 1000"}));
}

void TestRIKMap::freeStandingHeader() {
    // The import's use: without an owner the file stays open after the header.
    Fixture f;
    TRIKMap map;
    map.SetFileName(f.Write(rikwriter::Write(ExampleSheet())));
    map.OpenFile();
    map.ReadHeader();
    QVERIFY(map.FileOpen());
    QVERIFY(!map.Active());
    QCOMPARE(map.XMax(), 1501000);
    QCOMPARE(map.ScaleDenominator(), 10000);
    map.CloseFile();
    QVERIFY(!map.FileOpen());
    QCOMPARE(testsupport::ExceptionText([&] { map.ReadHeader(); }),
             QStringLiteral("Invalid mapfile. Message: Kartfilen är inte öppen."));
}

void TestRIKMap::keepOpen() {
    Fixture f;
    RecordingOwner owner;
    TRIKMap map(&owner);
    map.SetFileName(f.Write(rikwriter::Write(ExampleSheet())));
    map.SetKeepOpen(true);
    map.SetActive(true);
    QVERIFY(map.FileOpen());
    DrawAll(map);
    QVERIFY(map.FileOpen());
    QVERIFY(map.TakeFailedTiles().isEmpty());
    map.SetKeepOpen(false);
    QVERIFY(!map.FileOpen());
    const QImage all = DrawAll(map);
    QCOMPARE(all.pixel(60, 60), PaletteRgb(9));
    QVERIFY(!map.FileOpen());
    map.SetKeepOpen(true);
    QVERIFY(map.FileOpen());
    map.SetActive(false);
    QVERIFY(!map.FileOpen());
}

void TestRIKMap::mutations() {
    // Random flips and cuts of valid files either read or raise the reader's error; every
    // tile of a file that reads is drawn. Fixed seed: the same cases on every run.
    std::vector<QByteArray> files;
    files.push_back(rikwriter::Write(ExampleSheet()));
    {
        Sheet s = ExampleSheet();
        s.TileColumns = 2;
        s.TileRows = 2;
        s.BlockWidth = s.BlockHeight = 250;
        s.Tiles.clear();
        const auto px = MapLikePicture(250, 250);
        for (int i = 0; i < 4; ++i)
            s.Tiles.push_back(rikwriter::EncodeLZW(px.data(), 250, 250, {uint32_t(i ? 300 : 0), 0}));
        files.push_back(rikwriter::Write(s));
    }
    QRandomGenerator rng(20261210);
    Fixture f;
    int read = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = files[size_t(round % files.size())];
        const int kind = rng.bounded(3);
        if (kind == 0) {
            bytes.truncate(rng.bounded(int(bytes.size())));
        } else {
            const int flips = 1 + rng.bounded(8);
            // Half the flips land in the header and the offsets, where they matter most.
            for (int i = 0; i < flips; ++i) {
                const int limit = kind == 1 ? std::min<int>(int(bytes.size()), 1100) : int(bytes.size());
                bytes[rng.bounded(limit)] ^= char(1 << rng.bounded(8));
            }
        }
        TRIKMap map;
        map.SetFileName(f.Write(bytes));
        try {
            map.SetActive(true);
        } catch (const Exception& e) {
            QVERIFY2(e.Message().startsWith(QStringLiteral("Invalid mapfile. Message: ")), qPrintable(e.Message()));
            ++refused;
            continue;
        }
        ++read;
        QImage canvas(500, 500, QImage::Format_RGB32);
        QPainter painter(&canvas);
        const qint64 n = std::min<qint64>(map.TileCount(), 64);
        for (int i = 0; i < n; ++i) map.DrawTile(painter, i, 0, 0);
    }
    QVERIFY(read > 0);
    QVERIFY(refused > 0);
}

void TestRIKMap::sampleSheet() {
    const QString path = testsupport::ProgramDir() + QStringLiteral("/Data/Samples/Kalmarsund.rik");
    QVERIFY2(QFile::exists(path), qPrintable(path));
    TRIKMap map;
    map.SetFileName(path);
    map.SetActive(true);
    QVERIFY(map.Title().contains(QStringLiteral("Öland")));
    QCOMPARE(map.Coding(), TRIKCoding::LZW);
    // Kalmar (1 533 822, 6 281 934) and all of Öland lie inside the sheet, in RT90.
    QVERIFY(map.XMin() < 1533822 && map.XMax() > 1580000);
    QVERIFY(map.YMin() < 6232000 && map.YMax() > 6360000);
    const QImage all = DrawAll(map);
    QVERIFY(map.TakeFailedTiles().isEmpty());
    QVERIFY(all.save(testsupport::ArtefactDir() + QStringLiteral("/rikmap_sample.png")));
    // Land and water both appear, and nothing is left red by the decoding.
    int land = 0, water = 0, red = 0;
    for (int y = 0; y < all.height(); y += 7)
        for (int x = 0; x < all.width(); x += 7) {
            const QColor c = all.pixelColor(x, y);
            if (c == QColor(255, 0, 0))
                ++red;
            else if (c.blue() > c.red() + 40)
                ++water;
            else if (c.green() >= c.blue())
                ++land;
        }
    QCOMPARE(red, 0);
    QVERIFY(land > 1000);
    QVERIFY(water > 1000);
}

QTEST_MAIN(TestRIKMap)
#include "tst_rikmap.moc"
