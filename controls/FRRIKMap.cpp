#include "controls/FRRIKMap.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Exception.h"
#include "platform/UIServices.h"
#include "platform/Windows1252.h"

namespace {

int ClampedRange(qint64 value) { return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max())); }

}  // namespace

QString RIKTitleText(const QByteArray& title) { return Windows1252::Decode(title); }

void RIKTileToImage(const TRIKTile& tile, const std::array<uint8_t, 768>& palette, QImage& image) {
    if (image.width() != tile.Width || image.height() != tile.Height || image.format() != QImage::Format_RGB888)
        image = QImage(tile.Width, tile.Height, QImage::Format_RGB888);
    const uint8_t fill[3] = {255, uint8_t(tile.RedFill ? 0 : 255), uint8_t(tile.RedFill ? 0 : 255)};
    const uint8_t* pal = palette.data();
    for (int y = 0; y < tile.Height; ++y) {
        uint8_t* out = image.scanLine(y);
        const uint8_t* index = tile.Index.data() + size_t(y) * tile.Width;
        const uint8_t* reached = tile.Reached.data() + size_t(y) * tile.Width;
        for (int x = 0; x < tile.Width; ++x, out += 3) {
            const uint8_t* c = reached[x] ? pal + 3 * index[x] : fill;
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
        }
    }
    if (tile.Failed) {
        // The red square from (100, 100) to (150, 150), as far as the tile reaches.
        const int x1 = std::min(tile.Width, 150), y1 = std::min(tile.Height, 150);
        for (int y = 100; y < y1; ++y) {
            uint8_t* out = image.scanLine(y) + 3 * 100;
            for (int x = 100; x < x1; ++x, out += 3) {
                out[0] = 255;
                out[1] = 0;
                out[2] = 0;
            }
        }
    }
}

TRIKMap::TRIKMap(TRIKMapOwner* owner) : m_owner(owner) {}

TRIKMap::~TRIKMap() = default;

void TRIKMap::SetFileName(const QString& fileName) {
    if (fileName == m_fileName) return;
    if (m_active) SetActive(false);
    CloseFile();
    m_fileName = fileName;
}

void TRIKMap::SetActive(bool active) {
    if (active == m_active) return;
    if (active) {
        try {
            OpenFile();
            ReadHeader();
        } catch (...) {
            CloseFile();
            throw;
        }
        m_bitmap = QImage();
        m_failed.clear();
        m_active = true;
        if (m_owner) {
            m_owner->RIKDropViewCache();
            m_owner->RIKSetSurfaceVisible(true);
        }
    } else {
        m_active = false;
        if (m_owner) m_owner->RIKDropViewCache();
        m_header.Palette.fill(0);
        m_bitmap = QImage();
        CloseFile();
        if (m_owner) m_owner->RIKSetSurfaceVisible(false);
    }
}

void TRIKMap::SetKeepOpen(bool keepOpen) {
    if (keepOpen == m_keepOpen) return;
    m_keepOpen = keepOpen;
    if (!m_active) return;
    if (keepOpen)
        OpenFile();
    else
        CloseFile();
}

void TRIKMap::OpenFile() {
    auto file = std::make_unique<QFile>(m_fileName);
    if (m_fileName.isEmpty() || !file->open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Filen \"%1\" kunde inte öppnas.").arg(QDir::toNativeSeparators(m_fileName)));
    m_file = std::move(file);
}

void TRIKMap::CloseFile() { m_file.reset(); }

bool TRIKMap::FileOpen() const { return m_file && m_file->isOpen(); }

void TRIKMap::ReadHeader() {
    try {
        if (!FileOpen()) throw Exception(QStringLiteral("Kartfilen är inte öppen."));
        if (!m_file->seek(0)) throw Exception(QStringLiteral("Kartfilen kunde inte läsas."));
        std::function<void(qint64, qint64)> onEdges;
        if (m_owner)
            onEdges = [this](qint64 h, qint64 v) { m_owner->RIKSetScrollRanges(ClampedRange(h), ClampedRange(v)); };
        m_header = ReadRIKHeaderFields(*m_file, m_file->size(), onEdges);
    } catch (const Exception& e) {
        if (m_owner) CloseFile();
        throw Exception(RIKInvalidMapfilePrefix + e.Message());
    }
    if (m_owner && !m_keepOpen) CloseFile();
}

bool TRIKMap::ReadTileBytes(int index, QByteArray& bytes) {
    // Without KeepOpen every tile opens the file anew; the file may have changed since the
    // header was read, so its size is taken again each time.
    std::unique_ptr<QFile> own;
    QFile* file = nullptr;
    if (m_keepOpen) {
        if (!FileOpen()) {
            try {
                OpenFile();
            } catch (const Exception&) {
                return false;
            }
        }
        file = m_file.get();
    } else {
        own = std::make_unique<QFile>(m_fileName);
        if (!own->open(QIODevice::ReadOnly)) return false;
        file = own.get();
    }
    qint64 start = 0, length = 0;
    if (!RIKTileRange(m_header, index, file->size(), start, length)) return false;
    bytes.resize(qsizetype(length));
    if (length == 0) return true;
    return file->seek(start) && file->read(bytes.data(), length) == length;
}

bool TRIKMap::DecodeTile(int index) {
    if (!m_active || index < 0 || index >= TileCount()) return false;
    const int bw = m_header.BlockWidth, bh = m_header.BlockHeight;
    bool cut = false;
    if (ReadTileBytes(index, m_tileBytes)) {
        m_decoder.Decode(m_header.Coding, reinterpret_cast<const uint8_t*>(m_tileBytes.constData()), m_tileBytes.size(),
                         bw, bh, m_header.CodedRowLength, m_tile);
        // Data that ends before the tile is full: the rest is drawn white, and told. (A tile
        // without any data is an empty part of the sheet.)
        cut = !m_tile.Failed && !m_tileBytes.isEmpty() &&
            std::find(m_tile.Reached.cbegin(), m_tile.Reached.cend(), uint8_t(0)) != m_tile.Reached.cend();
    } else {
        TRIKTileDecoder::MarkFailed(bw, bh, m_tile);
    }
    m_tileFailed = m_tile.Failed || cut;
    if (m_tileFailed) m_failed.append(index);
    RIKTileToImage(m_tile, m_header.Palette, m_bitmap);
    return true;
}

void TRIKMap::DrawTile(QPainter& canvas, int index, int x, int y) {
    if (!DecodeTile(index)) return;
    canvas.drawImage(QPoint(x, y), m_bitmap);
}

QList<int> TRIKMap::TakeFailedTiles() {
    QList<int> failed;
    failed.swap(m_failed);
    return failed;
}

void TRIKMap::ReportFailedTiles() {
    if (TakeFailedTiles().isEmpty()) return;
    UIServices::ShowInformation(RIKOutsideArea);
}

QString TRIKMap::Title() const { return RIKTitleText(m_header.Title); }
