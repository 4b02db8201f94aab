#include "controls/FRInfoPanel.h"

#include <QPainter>

#include "controls/FRGuard.h"
#include "platform/Resources.h"

TFRInfoPanel::TFRInfoPanel(QWidget* parent) : QWidget(parent) {
    // The corners outside the box show the parent's colour.
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAutoFillBackground(false);
    QFont font = ArialFont(8, true);
    setFont(font);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    resize(400, 80);
}

void TFRInfoPanel::SetInfo(const QStringList& info) {
    m_info = info;
    update();
}
void TFRInfoPanel::SetIcon(TInfoPanelIcon icon) {
    m_icon = icon;
    update();
}
void TFRInfoPanel::SetCornerRadius(int radius) {
    m_cornerRadius = std::max(0, radius);
    update();
}
void TFRInfoPanel::SetBackgroundColor(TColor color) {
    m_background = color;
    update();
}
void TFRInfoPanel::SetFrameColor(TColor color) {
    m_frame = color;
    update();
}

QString TFRInfoPanel::IconName(TInfoPanelIcon icon) {
    switch (icon) {
        case TInfoPanelIcon::icInfo:
            return QStringLiteral("ICONINFO");
        case TInfoPanelIcon::icWarning:
            return QStringLiteral("ICONWARNING");
        case TInfoPanelIcon::icQuestion:
            return QStringLiteral("ICONQUESTION");
        case TInfoPanelIcon::icError:
            return QStringLiteral("ICONERROR");
        case TInfoPanelIcon::icNoIcon:
            break;
    }
    return QString();
}

void TFRInfoPanel::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(ResolveColor(m_frame, this), 1));
        p.setBrush(ResolveColor(m_background, this));
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const double radius = std::min<double>(m_cornerRadius, std::min(box.width(), box.height()) / 2);
        p.drawRoundedRect(box, radius, radius);
        p.setRenderHint(QPainter::Antialiasing, false);

        int textLeft = 12;
        const QString icon = IconName(m_icon);
        if (!icon.isEmpty()) {
            const QPixmap glyph = Resources::Bitmap(icon);
            p.drawPixmap(12, (height() - glyph.height()) / 2, glyph);
            textLeft = 12 + glyph.width() + 12;
        }
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        const QFontMetrics fm(font());
        const int lineHeight = fm.height();
        const int block = lineHeight * int(m_info.size());
        int y = std::max(4, (height() - block) / 2);
        const int textWidth = width() - textLeft - 10;
        for (const QString& line : m_info) {
            p.drawText(QRect(textLeft, y, textWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       fm.elidedText(line, Qt::ElideRight, textWidth));
            y += lineHeight;
        }
    });
}

#include "moc_FRInfoPanel.cpp"
