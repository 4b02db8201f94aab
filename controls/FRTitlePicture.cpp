#include "controls/FRTitlePicture.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/FRGuard.h"

TFRTitlePicture::TFRTitlePicture(QWidget* parent) : QWidget(parent) {
    setFont(ArialFont(14, true));
    resize(137, 181);
}

void TFRTitlePicture::SetPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}
void TFRTitlePicture::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}
void TFRTitlePicture::SetColor(TColor color) {
    m_color = color;
    update();
}
void TFRTitlePicture::SetCheckedColor(TColor color) {
    m_checkedColor = color;
    update();
}
void TFRTitlePicture::SetPictureMargin(int margin) {
    m_pictureMargin = std::max(0, margin);
    update();
}
void TFRTitlePicture::SetEdgeWidth(int width) {
    m_edgeWidth = std::max(0, width);
    update();
}
void TFRTitlePicture::SetTextMargin(int margin) {
    m_textMargin = std::max(0, margin);
    update();
}

void TFRTitlePicture::SetChecked(bool checked) {
    if (checked && parentWidget()) {
        for (QObject* o : parentWidget()->children()) {
            auto* other = qobject_cast<TFRTitlePicture*>(o);
            if (other && other != this && other->m_groupIndex == m_groupIndex && other->m_checked) {
                other->m_checked = false;
                other->update();
            }
        }
    }
    if (m_checked == checked) return;
    m_checked = checked;
    update();
}

QRect TFRTitlePicture::CaptionRect() const {
    const QRect inner = rect().adjusted(m_edgeWidth, m_edgeWidth, -m_edgeWidth, -m_edgeWidth);
    if (m_caption.isEmpty()) return QRect(inner.left(), inner.bottom() + 1, inner.width(), 0);
    const QFontMetrics fm(font());
    const QRect text = fm.boundingRect(inner.adjusted(m_textMargin, 0, -m_textMargin, 0),
                                       Qt::AlignHCenter | Qt::TextWordWrap, m_caption);
    const int h = std::min(text.height() + 2 * m_textMargin, inner.height() / 2);
    return QRect(inner.left(), inner.bottom() + 1 - h, inner.width(), h);
}

QRect TFRTitlePicture::PictureArea() const {
    const QRect inner = rect().adjusted(m_edgeWidth, m_edgeWidth, -m_edgeWidth, -m_edgeWidth);
    const QRect caption = CaptionRect();
    QRect area(inner.left(), inner.top(), inner.width(), caption.top() - inner.top());
    return area.adjusted(m_pictureMargin, m_pictureMargin, -m_pictureMargin, -m_pictureMargin);
}

QRect TFRTitlePicture::PictureRect() const {
    const QRect area = PictureArea();
    if (m_picture.isNull() || area.width() <= 0 || area.height() <= 0) return QRect();
    const QSize size = m_picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

void TFRTitlePicture::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        p.fillRect(rect(), ResolveColor(m_color, this));
        // The edge: the checked colour on a checked tile, a sunken grey otherwise.
        const QColor edge = m_checked ? ResolveColor(m_checkedColor, this) : ResolveColor(clBtnShadow, this);
        if (m_edgeWidth > 0) {
            const int e = m_edgeWidth;
            p.fillRect(QRect(0, 0, width(), e), edge);
            p.fillRect(QRect(0, height() - e, width(), e), edge);
            p.fillRect(QRect(0, e, e, height() - 2 * e), edge);
            p.fillRect(QRect(width() - e, e, e, height() - 2 * e), edge);
        }
        const QRect picture = PictureRect();
        if (!picture.isEmpty()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform, true);
            p.drawPixmap(picture, m_picture);
        }
        const QRect caption = CaptionRect();
        if (caption.height() > 0) {
            p.setFont(font());
            p.setPen(ResolveColor(isEnabled() ? clBtnText : clGrayText, this));
            p.drawText(caption.adjusted(m_textMargin, m_textMargin, -m_textMargin, -m_textMargin),
                       Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_caption);
        }
    });
}

void TFRTitlePicture::mousePressEvent(QMouseEvent* event) {
    Guarded([&] {
        if (event->button() != Qt::LeftButton) return;
        m_pressed = true;
        if (!m_checked) SetChecked(true);
    });
}

void TFRTitlePicture::mouseReleaseEvent(QMouseEvent* event) {
    Guarded([&] {
        const bool click =
            m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        m_pressed = false;
        if (click && OnClick) OnClick(this);
    });
}

#include "moc_FRTitlePicture.cpp"
