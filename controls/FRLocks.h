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

class TFRDBLock : public TFRLockButton, public TDataAwareControl {
    Q_OBJECT
public:
    explicit TFRDBLock(QWidget* parent = nullptr);
    ~TFRDBLock() override;
    bool Locked() const { return m_value; }

protected:
    void Click() override;

private:
    void DataChange();
    bool m_value = false;
};
