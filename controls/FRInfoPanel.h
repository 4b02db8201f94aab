#pragma once
// An information panel: a rounded box with an icon at the left and lines of text beside it.
#include <QStringList>
#include <QWidget>

#include "controls/FRGraphics.h"

enum class TInfoPanelIcon { icNoIcon, icInfo, icWarning, icQuestion, icError };

class TFRInfoPanel : public QWidget {
    Q_OBJECT
public:
    explicit TFRInfoPanel(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(400, 80); }

    QStringList Info() const { return m_info; }
    void SetInfo(const QStringList& info);
    TInfoPanelIcon Icon() const { return m_icon; }
    void SetIcon(TInfoPanelIcon icon);
    int CornerRadius() const { return m_cornerRadius; }
    void SetCornerRadius(int radius);
    TColor BackgroundColor() const { return m_background; }
    void SetBackgroundColor(TColor color);
    TColor FrameColor() const { return m_frame; }
    void SetFrameColor(TColor color);
    // The resource name of an icon ("" for none).
    static QString IconName(TInfoPanelIcon icon);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_info;
    TInfoPanelIcon m_icon = TInfoPanelIcon::icNoIcon;
    int m_cornerRadius = 20;
    TColor m_background = 0xFFFFFF;
    TColor m_frame = 0x000000;
};
