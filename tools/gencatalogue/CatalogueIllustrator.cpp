#include "tools/gencatalogue/CatalogueIllustrator.h"
// Drawing the species' illustrations.

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

namespace gencatalogue {

namespace {

QColor Qc(quint32 colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

QColor First(const QList<quint32>& colours, QColor fallback) { return colours.isEmpty() ? fallback : Qc(colours[0]); }

QLinearGradient Gradient(const QList<quint32>& colours, QPointF from, QPointF to, QColor fallback) {
    QLinearGradient g(from, to);
    if (colours.isEmpty()) {
        g.setColorAt(0, fallback);
        g.setColorAt(1, fallback);
    } else if (colours.size() == 1) {
        g.setColorAt(0, Qc(colours[0]).lighter(110));
        g.setColorAt(1, Qc(colours[0]).darker(110));
    } else {
        for (int i = 0; i < colours.size(); ++i) g.setColorAt(double(i) / (colours.size() - 1), Qc(colours[i]));
    }
    return g;
}

void DrawCapFungus(QPainter& p, const Species& s, double groundY) {
    const QString shape = s.Shape.isEmpty() ? QString("hatt") : s.Shape;
    const double capMid = (s.Size.Min + s.Size.Max) / 2.0;
    const double footMid = std::max(1.0, (s.Foot.Min + s.Foot.Max) / 2.0);
    const double capW = 130;
    const double footW = std::clamp(capW * footMid / std::max(capMid, 1.0), 10.0, 60.0);
    double stemH = 80;
    if (s.Height.Given && capMid > 0)
        stemH = std::clamp(capW * 0.6 * ((s.Height.Min + s.Height.Max) / 2.0) / capMid, 30.0, 85.0);
    const double cx = kPicSize / 2.0;
    const double capBottom = groundY - stemH;
    const QColor sub = First(s.UndersideColor, QColor(230, 220, 200));
    const QColor foot = First(s.FootColor, QColor(235, 230, 215));
    const QColor outline(60, 45, 30);
    p.setPen(QPen(outline, 1.2));

    // Foot, widening into a bulb for the flugsvamp shape.
    QPainterPath stem;
    const double topW = footW * (shape == "tratt" ? 0.8 : 1.0);
    stem.moveTo(cx - topW / 2, capBottom);
    stem.lineTo(cx + topW / 2, capBottom);
    stem.lineTo(cx + footW / 2, groundY);
    stem.lineTo(cx - footW / 2, groundY);
    stem.closeSubpath();
    p.setBrush(Gradient(s.FootColor, {cx - footW / 2, 0}, {cx + footW / 2, 0}, foot));
    p.drawPath(stem);
    if (shape == "flugsvamp") {
        p.setBrush(foot.lighter(105));
        p.drawEllipse(QRectF(cx - footW * 0.9, groundY - footW * 0.9, footW * 1.8, footW * 1.1));
    }
    if (s.Ring == 0 || s.Ring == 1) {
        p.setBrush(foot.lighter(112));
        QPainterPath ring;
        const double ry = capBottom + stemH * 0.22;
        ring.moveTo(cx - footW * 0.55, ry);
        ring.lineTo(cx + footW * 0.55, ry);
        ring.lineTo(cx + footW * 0.85, ry + 12);
        ring.lineTo(cx - footW * 0.85, ry + 12);
        ring.closeSubpath();
        p.drawPath(ring);
    }

    // Cap.
    QPainterPath cap;
    QRectF capRect;
    if (shape == "tratt") {
        capRect = QRectF(cx - capW / 2, capBottom - 46, capW, 46);
        cap.moveTo(cx - capW / 2, capBottom - 40);
        cap.quadTo(cx, capBottom - 52, cx + capW / 2, capBottom - 40);
        cap.quadTo(cx + capW / 4, capBottom - 10, cx + topW / 2, capBottom);
        cap.lineTo(cx - topW / 2, capBottom);
        cap.quadTo(cx - capW / 4, capBottom - 10, cx - capW / 2, capBottom - 40);
    } else if (shape == "klocka") {
        const double w = capW * 0.7;
        capRect = QRectF(cx - w / 2, capBottom - 90, w, 90);
        cap.moveTo(cx - w / 2, capBottom);
        cap.cubicTo(cx - w / 2, capBottom - 70, cx - w / 4, capBottom - 90, cx, capBottom - 90);
        cap.cubicTo(cx + w / 4, capBottom - 90, cx + w / 2, capBottom - 70, cx + w / 2, capBottom);
        cap.closeSubpath();
    } else {
        const double h = shape == "platt" ? 22 : 50;
        capRect = QRectF(cx - capW / 2, capBottom - h, capW, h);
        cap.moveTo(cx - capW / 2, capBottom);
        cap.cubicTo(cx - capW / 2, capBottom - h * 1.3, cx + capW / 2, capBottom - h * 1.3, cx + capW / 2, capBottom);
        cap.closeSubpath();
    }
    // Underside band.
    if (shape != "tratt") {
        QRectF band(capRect.left() + 4, capBottom - 2, capRect.width() - 8, 9);
        p.setBrush(sub);
        p.drawRect(band);
        p.save();
        p.setPen(QPen(sub.darker(140), 1));
        if (s.Underside == 0)
            for (double x = band.left() + 3; x < band.right(); x += 4)
                p.drawLine(QPointF(x, band.top()), QPointF(x, band.bottom()));
        else if (s.Underside == 1)
            for (double x = band.left() + 3; x < band.right(); x += 5)
                for (double y = band.top() + 2; y < band.bottom(); y += 4) p.drawPoint(QPointF(x, y));
        else if (s.Underside == 2) {
            p.setBrush(sub);
            for (double x = band.left() + 2; x < band.right() - 3; x += 6) {
                QPolygonF tooth(
                    {QPointF(x, band.bottom()), QPointF(x + 5, band.bottom()), QPointF(x + 2.5, band.bottom() + 7)});
                p.drawPolygon(tooth);
            }
        }
        p.restore();
    } else {
        // Ridges running down the outside of the funnel.
        p.save();
        p.setBrush(sub);
        p.drawPath(cap);
        p.setPen(QPen(sub.darker(150), 1));
        for (int i = -3; i <= 3; ++i)
            p.drawLine(QPointF(cx + i * 4, capBottom), QPointF(cx + i * capW / 8.5, capBottom - 38));
        p.restore();
        QPainterPath top;
        top.addEllipse(QRectF(cx - capW / 2, capBottom - 52, capW, 20));
        p.setBrush(Gradient(s.Color, capRect.topLeft(), capRect.topRight(), QColor(200, 150, 60)));
        p.drawPath(top);
        return;
    }
    p.setBrush(Gradient(s.Color, capRect.topLeft(), capRect.topRight(), QColor(200, 150, 60)));
    p.drawPath(cap);
    p.save();
    p.setClipPath(cap);
    if (s.Dotted == 0 || s.Dotted == 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 248, 240));
        for (int i = 0; i < 14; ++i) {
            const double x = capRect.left() + 10 + (i * 37) % int(capRect.width() - 20);
            const double y = capRect.top() + 8 + (i * 23) % int(std::max(10.0, capRect.height() - 10));
            p.drawEllipse(QPointF(x, y), 3.5, 2.8);
        }
    }
    if (s.Scaled == 0 || s.Scaled == 1) {
        p.setPen(QPen(First(s.Color, QColor(120, 80, 40)).darker(170), 1.2));
        for (int i = 0; i < 18; ++i) {
            const double x = capRect.left() + 8 + (i * 29) % int(capRect.width() - 16);
            const double y = capRect.top() + 6 + (i * 17) % int(std::max(10.0, capRect.height() - 8));
            p.drawArc(QRectF(x, y, 7, 5), 200 * 16, 140 * 16);
        }
    }
    if (s.Lined == 0 || s.Lined == 1) {
        p.setPen(QPen(First(s.Color, QColor(120, 80, 40)).darker(135), 1));
        for (int i = -6; i <= 6; ++i)
            p.drawLine(QPointF(cx + i * capRect.width() / 13, capBottom),
                       QPointF(cx + i * capRect.width() / 30, capBottom - 12));
    }
    p.restore();
}

void DrawOtherFungus(QPainter& p, const Species& s, double groundY) {
    const QString shape = s.Shape.isEmpty() ? QString("boll") : s.Shape;
    const double cx = kPicSize / 2.0;
    const QColor body = First(s.Color, QColor(200, 170, 120));
    p.setPen(QPen(QColor(60, 45, 30), 1.2));
    const double w = 110;
    const double h =
        std::clamp(w * (s.Height.Min + s.Height.Max) / std::max(1.0, double(s.Size.Min + s.Size.Max)), 50.0, 140.0);
    const QRectF box(cx - w / 2, groundY - h, w, h);
    if (shape == "murkla" || shape == "hjärnmurkla") {
        const double stemW = w * 0.38;
        const QRectF head(cx - w * 0.36, box.top(), w * 0.72, h * 0.65);
        p.setBrush(QColor(238, 228, 205));
        p.drawRoundedRect(QRectF(cx - stemW / 2, head.bottom() - 10, stemW, groundY - head.bottom() + 10), 8, 8);
        p.setBrush(Gradient(s.Color, head.topLeft(), head.bottomRight(), body));
        if (shape == "murkla") {
            QPainterPath cone;
            cone.moveTo(head.left(), head.bottom());
            cone.cubicTo(head.left(), head.top() + head.height() * 0.3, cx - 6, head.top(), cx, head.top());
            cone.cubicTo(cx + 6, head.top(), head.right(), head.top() + head.height() * 0.3, head.right(),
                         head.bottom());
            cone.closeSubpath();
            p.drawPath(cone);
            p.save();
            p.setClipPath(cone);
            p.setPen(QPen(body.darker(190), 2));
            for (double y = head.top() + 10; y < head.bottom(); y += 11)
                p.drawLine(QPointF(head.left(), y), QPointF(head.right(), y + 3));
            for (double x = head.left() + 8; x < head.right(); x += 12)
                p.drawLine(QPointF(x, head.top()), QPointF(x + 2, head.bottom()));
            p.restore();
        } else {
            p.drawEllipse(head);
            p.save();
            p.setPen(QPen(body.darker(180), 2));
            for (int i = 0; i < 7; ++i)
                p.drawArc(head.adjusted(6 + i * 3, 6 + i * 4, -6 - i * 2, -6 - i * 3), (i * 50) * 16, 200 * 16);
            p.restore();
        }
    } else if (shape == "ticka") {
        // A bracket on a trunk.
        p.setBrush(QColor(120, 95, 70));
        p.drawRect(QRectF(8, 20, 36, groundY - 20));
        for (int i = 0; i < 2; ++i) {
            const double top = 60 + i * 55;
            QPainterPath bracket;
            bracket.moveTo(44, top);
            bracket.cubicTo(120, top - 20 + i * 5, 190, top + 5, 180, top + 28);
            bracket.cubicTo(150, top + 40, 80, top + 38, 44, top + 34);
            bracket.closeSubpath();
            p.setBrush(Gradient(s.Color, {44, top}, {180, top + 30}, body));
            p.drawPath(bracket);
        }
    } else if (shape == "krus") {
        // Curly lobes heaped into a dome.
        p.setBrush(Gradient(s.Color, box.topLeft(), box.bottomRight(), body));
        for (int row = 0; row < 4; ++row) {
            const double half = w / 2 * (1.0 - row * 0.22);
            const double y = groundY - 24 - row * std::max(12.0, (h - 24) / 4);
            for (double x = -half + 12 + (row % 2) * 8; x <= half - 12; x += 18) {
                const QRectF lobe(cx + x - 16, y, 32, 22);
                p.drawEllipse(lobe);
                p.save();
                p.setPen(QPen(body.darker(135), 1));
                p.drawArc(lobe.adjusted(5, 5, -5, -3), 20 * 16, 140 * 16);
                p.drawArc(lobe.adjusted(9, 9, -9, -5), 200 * 16, 140 * 16);
                p.restore();
            }
        }
    } else if (shape == "koral") {
        // Upright, forked branches.
        p.setBrush(Gradient(s.Color, box.topLeft(), box.bottomRight(), body));
        for (int i = 0; i < 7; ++i) {
            const double x = box.left() + 14 + i * (w - 28) / 6;
            const double top = box.top() + (i % 3) * 14;
            p.drawRoundedRect(QRectF(x - 5, top + 14, 10, groundY - top - 14), 5, 5);
            p.drawRoundedRect(QRectF(x - 11, top, 7, 24), 3, 3);
            p.drawRoundedRect(QRectF(x + 4, top + 4, 7, 22), 3, 3);
        }
    } else if (shape == "klubba") {
        // A tall column with a head in the second colour.
        const double colW = std::clamp(w * 0.3, 20.0, 40.0);
        p.setBrush(QColor(244, 240, 228));
        p.drawRoundedRect(QRectF(cx - colW / 2, box.top() + 20, colW, groundY - box.top() - 20), 8, 8);
        p.setBrush(s.Color.size() > 1 ? Qc(s.Color[1]) : body);
        QPainterPath head;
        head.moveTo(cx - colW * 0.75, box.top() + 55);
        head.cubicTo(cx - colW * 0.75, box.top(), cx + colW * 0.75, box.top(), cx + colW * 0.75, box.top() + 55);
        head.closeSubpath();
        p.drawPath(head);
    } else {
        // A round or pear-shaped fruit body.
        QRadialGradient g(QPointF(cx - w / 6, box.top() + h / 3), w * 0.7);
        g.setColorAt(0, body.lighter(120));
        g.setColorAt(1, s.Color.size() > 1 ? Qc(s.Color.last()) : body.darker(120));
        p.setBrush(g);
        p.drawEllipse(box);
    }
}

}  // namespace

QImage DrawIllustration(const Species& s, int scale, int margin) {
    const int width = kPicSize * scale + 2 * margin, height = kPicSize * scale;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(236, 242, 228));
    sky.setColorAt(1, QColor(214, 226, 200));
    p.fillRect(image.rect(), sky);
    const double groundY = 180;
    const bool onWood = s.Substrate.size() > 3 && (s.Substrate[1] == '1' || s.Substrate[3] == '1');
    p.fillRect(QRectF(0, groundY * scale, width, height - groundY * scale),
               onWood ? QColor(125, 98, 70) : QColor(112, 128, 72));
    // From here on the square's own coordinates.
    p.translate(margin, 0);
    p.scale(scale, scale);
    const double left = -double(margin) / scale, wide = double(width) / scale;
    if (s.Cap)
        DrawCapFungus(p, s, groundY);
    else
        DrawOtherFungus(p, s, groundY);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(QColor(70, 70, 70));
    p.drawText(QRectF(4, 2, kPicSize - 8, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Illustration"));
    if (s.Food == 0 || s.Food == 1) {
        p.fillRect(QRectF(left, kPicSize - 26, wide, 26), s.Food == 0 ? QColor(200, 0, 0) : QColor(230, 120, 0));
        font.setPixelSize(15);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, kPicSize - 26, kPicSize, 26), Qt::AlignCenter,
                   s.Food == 0 ? QStringLiteral("DÖDLIGT GIFTIG") : QStringLiteral("GIFTIG"));
    }
    p.end();
    return image;
}

}  // namespace gencatalogue
