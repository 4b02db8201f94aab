#pragma once
// Lock switches: flat 26 x 16 buttons whose glyph shows whether something is locked. The
// data-aware one shows and toggles a Boolean field ("UNDEFINED" while it has no open
// table, then "UNLOCKED" or "LOCKED").
#include <QToolButton>
#include <functional>

#include "controls/FRFieldLink.h"

class TFRLockButton : public QToolButton {
    Q_OBJECT
public:
    explicit TFRLockButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(26, 16); }
    QSize minimumSizeHint() const override { return QSize(26, 16); }
    // The glyph shown ("UNDEFINED", "UNLOCKED" or "LOCKED").
    QString GlyphName() const { return m_glyph; }

protected:
    void ShowGlyph(const QString& name);
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A left click released on the enabled button.
    virtual void Click() = 0;

private:
    QString m_glyph;
};

class TFRLock : public TFRLockButton {
    Q_OBJECT
public:
    explicit TFRLock(QWidget* parent = nullptr);
    bool Locked() const { return m_locked; }
    void SetLocked(bool locked);
    // After a user's click.
    std::function<void(TFRLock*)> OnClick;

protected:
    void Click() override;

private:
    bool m_locked = false;
};

class TFRDBLock : public TFRLockButton {
    Q_OBJECT
public:
    explicit TFRDBLock(QWidget* parent = nullptr);
    ~TFRDBLock() override;
    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source) { m_link.SetDataSource(source); }
    QString DataField() const { return m_link.FieldName(); }
    void SetDataField(const QString& field) { m_link.SetFieldName(field); }
    TFieldLink& Link() { return m_link; }
    bool Locked() const { return m_value; }

protected:
    void Click() override;

private:
    void DataChange();
    TFieldLink m_link;
    bool m_value = false;
};
