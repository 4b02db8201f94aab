// The statements that put something on the page: text rows, rectangles, lines, pictures,
// colour bars, comments and page breaks. Each evaluates its properties whenever it executes;
// in preparation it asks its area for room and emits itself, in a run it draws.
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "script/QSExecData.h"
#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSPictureInfo.h"
#include "script/QSScript.h"

namespace {

// A width or height of 0 takes the rest of the area.
double OrRest(double size, double rest) { return size == 0 ? rest : size; }

TQSBox EvaluateBox(const TQSScriptObject& object) {
    return {object.EvaluateFloatKey(QStringLiteral("PositionX")), object.EvaluateFloatKey(QStringLiteral("PositionY")),
            object.EvaluateFloatKey(QStringLiteral("Width")), object.EvaluateFloatKey(QStringLiteral("Height"))};
}

// A box in the area around its statement: sizes of 0 take the rest of the area, the area is
// asked for the room of its height, and preparation emits the statement. A container's box
// (a rectangle's) is no wider or higher than the area around it, as its own area will be.
struct PlacedBox {
    const TQSBindData& Area;
    TQSBox Box;
    bool Preparing;
};

PlacedBox Place(TQSExecData& exec, TQSScriptObject& object, TQSBox box, bool container = false) {
    TQSContainer* outer = object.Area();
    const TQSBindData& area = outer->BindData();
    box.Width = OrRest(box.Width, area.RestWidth(box.X));
    box.Height = OrRest(box.Height, area.RestHeight(box.Y));
    if (container) {
        box.Width = std::min(box.Width, area.ClientWidth());
        box.Height = std::min(box.Height, area.ClientHeight());
    }
    outer->RequestRoom(exec, box.Height);
    const bool preparing = exec.Emit(&object);
    return {area, box, preparing};
}

// Whether a box has room to draw in: sizes above 0 (and numbers at all).
bool Drawable(const TQSBox& box) { return box.Width > 0 && box.Height > 0; }

}  // namespace

// ---- Text row ----

void TQSText::Compile(TQuillCalc&) {
    const QString fontName = EvaluateStringKey(QStringLiteral("FontName"));
    m_text = EvaluateStringKey(QStringLiteral("Text"));
    m_x = EvaluateFloatKey(QStringLiteral("PositionX"));
    m_y = EvaluateFloatKey(QStringLiteral("PositionY"));
    m_width = EvaluateFloatKey(QStringLiteral("Width"));
    auto* fonts = dynamic_cast<TQSDataContainer*>(Script()->Root()->Section(2));
    m_font = fonts ? dynamic_cast<TQSFont*>(fonts->FindByName(fontName)) : nullptr;
    if (!m_font)
        throw QSException(this, QStringLiteral("Font \"%1\" not found in script").arg(fontName), -1,
                          QStringLiteral("FontName"));
}

void TQSText::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    TQSContainer* area = Area();
    TQSBindData& bind = area->BindData();
    const double width = OrRest(m_width, bind.RestWidth(m_x));
    if (width < 0) return;
    const TQSFontSpec& font = m_font->Working;
    const double lineHeight = exec.TextHeightMm(font);
    QStringList lines;
    QString rest = m_text;
    do {
        lines.append(exec.WrapLine(font, rest, width));
    } while (!rest.isEmpty());
    area->RequestRoom(exec, double(lines.size()) * lineHeight);
    TQSCanvas* canvas = exec.Emit(this) ? nullptr : exec.Canvas();
    if (canvas) canvas->SetFont(font, m_font->WorkingColor);
    const int alignment = Value(QStringLiteral("Alignment")).toInt();
    const bool linefeed = Value(QStringLiteral("Linefeed")).toInt() != 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (canvas) {
            double x = m_x;
            if (alignment == 1)
                x = m_x + width / 2 - exec.TextWidthMm(font, lines[i]) / 2;
            else if (alignment == 2)
                x = m_x + width - exec.TextWidthMm(font, lines[i]);
            exec.DrawText(*canvas, bind, x, m_y, lines[i]);
        }
        if (i + 1 < lines.size() || linefeed) bind.SetCurrentY(bind.CurrentY() + lineHeight);
    }
}

// ---- Rectangle ----

void TQSRectangle::Compile(TQuillCalc& calc) {
    TQSFreeContainer::Compile(calc);
    m_box = EvaluateBox(*this);
    m_margin = EvaluateFloatKey(QStringLiteral("Margin"));
    m_border = EvaluateFloatKey(QStringLiteral("BorderWidth"));
    m_corner = EvaluateFloatKey(QStringLiteral("CornerRadius"));
    m_borderColor = EvaluateIntegerKey(QStringLiteral("BorderColor"));
    m_backgroundColor = EvaluateIntegerKey(QStringLiteral("BackgroundColor"));
}

void TQSRectangle::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    const auto [area, box, preparing] = Place(exec, *this, m_box, true);
    if (!preparing && Drawable(box))
        if (TQSCanvas* canvas = exec.Canvas())
            exec.DrawRectangle(*canvas, area, box.X, box.Y, box.Width, box.Height, m_border, m_corner, m_borderColor,
                               m_backgroundColor);
    // Its statements lie in the box less the margin, in a run as in preparation.
    BindData().SetAreaWithin(area, area.CurrentX() + box.X, area.CurrentY() + box.Y, box.Width, box.Height);
    BindData().SetMargins(m_margin);
    if (preparing) ExecuteChildren(exec);
}

// ---- Line ----

void TQSLine::Compile(TQuillCalc&) {
    m_x1 = EvaluateFloatKey(QStringLiteral("StartX"));
    m_y1 = EvaluateFloatKey(QStringLiteral("StartY"));
    m_x2 = EvaluateFloatKey(QStringLiteral("EndX"));
    m_y2 = EvaluateFloatKey(QStringLiteral("EndY"));
    m_width = EvaluateFloatKey(QStringLiteral("LineWidth"));
    m_color = EvaluateIntegerKey(QStringLiteral("LineColor"));
}

void TQSLine::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    TQSContainer* area = Area();
    area->RequestRoom(exec, std::abs(m_y2 - m_y1));
    if (exec.Emit(this)) return;
    if (TQSCanvas* canvas = exec.Canvas())
        exec.DrawLine(*canvas, area->BindData(), m_x1, m_y1, m_x2, m_y2, m_width, m_color);
}

// ---- Picture ----

void TQSPicture::Compile(TQuillCalc&) {
    m_box = EvaluateBox(*this);
    m_stretch = EvaluateBooleanKey(QStringLiteral("Stretch"));
    m_fileName = EvaluateStringKey(QStringLiteral("Filename"));
}

void TQSPicture::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    const auto [area, box, preparing] = Place(exec, *this, m_box);
    if (preparing) return;

    QByteArray picture;
    if (Value(QStringLiteral("PicType")).toInt() == 1) {
        picture = Bitmap;
    } else if (!m_fileName.isEmpty()) {
        // Only a file, and none beyond any picture's size (a device would never end).
        constexpr qint64 kMaxPictureFile = qint64(256) << 20;
        const QFileInfo info(m_fileName);
        QFile file(m_fileName);
        if (info.isFile() && info.size() <= kMaxPictureFile && file.open(QIODevice::ReadOnly)) picture = file.readAll();
        if (picture.isEmpty())
            throw QSException(this, QStringLiteral("Picture file \"%1\" could not be loaded").arg(m_fileName), -1,
                              QStringLiteral("Filename"));
    }
    if (picture.isEmpty()) return;
    const QSize pixels = QSPictureSize(picture);
    if (!pixels.isValid())
        throw QSException(this,
                          m_fileName.isEmpty() || Value(QStringLiteral("PicType")).toInt() == 1
                              ? QStringLiteral("The embedded picture could not be loaded")
                              : QStringLiteral("Picture file \"%1\" could not be loaded").arg(m_fileName));
    TQSCanvas* canvas = exec.Canvas();
    if (!canvas || !Drawable(box) || pixels.isEmpty()) return;

    TQSBox drawn = box;
    if (!m_stretch) {
        const double ratio = double(pixels.width()) / double(pixels.height());
        if (ratio >= box.Width / box.Height) {
            drawn.Height = box.Width / ratio;
            const int align = Value(QStringLiteral("VertiAlignment")).toInt();
            if (align == 1)
                drawn.Y += (box.Height - drawn.Height) / 2;
            else if (align == 2)
                drawn.Y += box.Height - drawn.Height;
        } else {
            drawn.Width = box.Height * ratio;
            const int align = Value(QStringLiteral("HorizAlignment")).toInt();
            if (align == 1)
                drawn.X += (box.Width - drawn.Width) / 2;
            else if (align == 2)
                drawn.X += box.Width - drawn.Width;
        }
    }
    exec.DrawPicture(*canvas, area, drawn.X, drawn.Y, drawn.Width, drawn.Height, picture,
                     Value(QStringLiteral("Transparent")).toInt() != 0);
}

// ---- Colour bar ----

QList<qint32> TQSColorBar::ParseColorInfo(const QString& info) {
    QList<qint32> points;
    for (const QString& piece : info.split(u'|')) {
        bool ok = false;
        const qint32 color = piece.trimmed().toInt(&ok, 10);
        if (!ok) return {};
        if (points.size() < kMaxPoints) points.append(color);
    }
    return points;
}

void TQSColorBar::Compile(TQuillCalc&) {
    m_box = EvaluateBox(*this);
    m_border = EvaluateFloatKey(QStringLiteral("BorderWidth"));
    m_borderColor = EvaluateIntegerKey(QStringLiteral("BorderColor"));
    Points = ParseColorInfo(EvaluateStringKey(QStringLiteral("ColorInfo")));
}

void TQSColorBar::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    const auto [area, box, preparing] = Place(exec, *this, m_box);
    TQSCanvas* canvas = preparing ? nullptr : exec.Canvas();
    if (!canvas || !Drawable(box)) return;
    const double x = box.X, y = box.Y, width = box.Width, height = box.Height;

    const qsizetype n = Points.size();
    if (n >= 1) exec.DrawRectangle(*canvas, area, x, y, width, height, 0, 0, Points.last(), Points.last());
    if (n >= 2) {
        // Each gap between two points is a run of strips from the one colour to the other; the
        // strips cover the gap whole, and are no narrower than a device pixel.
        constexpr int kMaxStrips = 10000;
        const double gap = width / double(n - 1);
        const double byWidth = std::floor(std::min(gap / 2, double(kMaxStrips))) + 1;
        const int k = int(std::clamp(std::min(byWidth, double(exec.DeviceLength(gap))), 1.0, double(kMaxStrips)));
        const double strip = gap / k;
        auto channel = [](qint32 color, int shift) { return double((quint32(color) >> shift) & 0xFF); };
        for (qsizetype g = 0; g + 1 < n; ++g) {
            const qint32 from = Points[g], to = Points[g + 1];
            for (int j = 0; j < k; ++j) {
                const double t = double(j) / k;
                qint32 color = 0;
                for (int shift : {0, 8, 16}) {
                    const double c = channel(from, shift) + t * (channel(to, shift) - channel(from, shift));
                    color |= qint32(std::nearbyint(c)) << shift;
                }
                const double left = x + double(g) * gap + j * strip;
                // Each strip overlaps the next, so no seam shows; none goes beyond the box.
                const double w = std::min(strip + 0.5, x + width - left);
                exec.DrawRectangle(*canvas, area, left, y, w, height, 0, 0, color, color);
            }
        }
    }
    if (m_border > 0) {
        const double right = x + width, bottom = y + height;
        exec.DrawLine(*canvas, area, x, y, right, y, m_border, m_borderColor);
        exec.DrawLine(*canvas, area, right, y, right, bottom, m_border, m_borderColor);
        exec.DrawLine(*canvas, area, right, bottom, x, bottom, m_border, m_borderColor);
        exec.DrawLine(*canvas, area, x, bottom, x, y, m_border, m_borderColor);
    }
}

// ---- Page break ----

void TQSPageBreak::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    // A header or foot runs on every page: a break there would start pages without end.
    for (const TQSContainer* c = Owner(); c; c = c->Owner())
        if (dynamic_cast<const TQSPageBand*>(c)) return;
    exec.NewPage(exec.CurrentPage() + 1);
}
