#include "controls/FRGraphics.h"

#include <QApplication>
#include <QFontDatabase>
#include <QWidget>
#include <climits>
#include <cmath>

#include "platform/Exception.h"

QColor ColorFromNumber(TColor number) {
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

TColor ColorToNumber(const QColor& color) {
    return TColor(color.red()) | (TColor(color.green()) << 8) | (TColor(color.blue()) << 16);
}

bool IsSystemColor(TColor color) { return (color & clSystemColor) != 0 && color > 0 && color <= 0xFFFFFFFFLL; }

QPalette::ColorRole SystemColorRole(TColor color) {
    switch (color) {
        case clWindow:
            return QPalette::Base;
        case clWindowText:
            return QPalette::Text;
        case clBtnFace:
            return QPalette::Button;
        case clBtnShadow:
            return QPalette::Dark;  // the desktop's button shadow, #a0a0a0 on the usual scheme
        case clGrayText:
            return QPalette::PlaceholderText;
        case clBtnText:
            return QPalette::ButtonText;
        case clHighlight:
            return QPalette::Highlight;
        case clHighlightText:
            return QPalette::HighlightedText;
        case clInfoBk:
            return QPalette::ToolTipBase;
        case clInfoText:
            return QPalette::ToolTipText;
        default:
            return QPalette::NoRole;
    }
}

QColor ResolveColor(TColor color, const QWidget* widget) {
    if (!IsSystemColor(color)) return ColorFromNumber(color);
    const QPalette::ColorRole role = SystemColorRole(color);
    if (role == QPalette::NoRole) return ColorFromNumber(color);
    // The system colours are the desktop's, not whatever a control has set on itself.
    const QPalette palette = widget ? QApplication::palette(widget) : QApplication::palette();
    return palette.color(QPalette::Active, role);
}

void SetControlColor(QWidget* widget, TColor color) {
    if (!widget) return;
    QPalette palette = widget->palette();
    const QColor c = ResolveColor(color, widget);
    palette.setColor(QPalette::Base, c);  // every group: a disabled control keeps the colour
    palette.setColor(QPalette::Window, c);
    widget->setPalette(palette);
}

QString ArialFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const QString& name : {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")})
            if (families.contains(name, Qt::CaseInsensitive)) return name;
        return QStringLiteral("Sans Serif");
    }();
    return family;
}

int PointsToPixels(int pointSize) { return Round(pointSize * 96.0 / 72.0); }

QFont ArialFont(int pointSize, bool bold) {
    QFont font(ArialFamily());
    font.setPixelSize(std::max(1, PointsToPixels(pointSize)));
    font.setBold(bold);
    return font;
}
