#pragma once
// The flat memo and its data-aware twin: no border, pale yellow, the window colour while
// they have the focus.
#include <QPlainTextEdit>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

class TFRMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TFRMemo(QWidget* parent = nullptr);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    QString Text() const { return toPlainText(); }
    void SetText(const QString& text) { setPlainText(text); }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    virtual void Leaving() {}

private:
    TColor m_color = 0xC4FFFF;
    bool m_focused = false;
};

// The memo bound to a text field; it writes the field only when the user changed the text,
// and takes no more characters than the field holds.
class TFRDBMemo : public TFRMemo, public TDataAwareControl {
    Q_OBJECT
public:
    explicit TFRDBMemo(QWidget* parent = nullptr);
    ~TFRDBMemo() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void Leaving() override;

private:
    void DataChange();
    void Changed();
    // The characters the field has room for beside the text (the selection would be replaced).
    int Room() const;
    bool m_reading = false;
};
