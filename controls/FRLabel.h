#pragma once
// The forms' caption label: right-aligned, Arial 8, 132 x 14.
#include <QLabel>

class TFRLabel : public QLabel {
    Q_OBJECT
public:
    explicit TFRLabel(QWidget* parent = nullptr);
    explicit TFRLabel(const QString& caption, QWidget* parent = nullptr);
};
