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
class TFRDBMemo : public TFRMemo {
    Q_OBJECT
public:
    explicit TFRDBMemo(QWidget* parent = nullptr);
    ~TFRDBMemo() override;
    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source) { m_link.SetDataSource(source); }
    QString DataField() const { return m_link.FieldName(); }
    void SetDataField(const QString& field) { m_link.SetFieldName(field); }
    TFieldLink& Link() { return m_link; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void Leaving() override;

private:
    void DataChange();
    void Changed();
    // The characters the field has room for beside the text (the selection would be replaced).
    int Room() const;
    TFieldLink m_link;
    bool m_reading = false;
};
