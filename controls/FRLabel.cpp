#include "controls/FRLabel.h"

#include "controls/FRGraphics.h"

TFRLabel::TFRLabel(QWidget* parent) : TFRLabel(QString(), parent) {}

TFRLabel::TFRLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(ArialFont(8));
    resize(132, 14);
}

#include "moc_FRLabel.cpp"
