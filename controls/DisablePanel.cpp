#include "controls/DisablePanel.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRMemos.h"

TDisablePanel::TDisablePanel(QWidget* parent) : QFrame(parent) {}

bool TDisablePanel::IsEditLike(const QWidget* widget) {
    // An edit's own drop-down list is no control of the form.
    if (qobject_cast<const TFRDropDownList*>(widget)) return false;
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
        qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QAbstractItemView*>(widget) ||
        qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

void TDisablePanel::SetEnabled(bool enabled) {
    for (QObject* o : children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || child->isWindow()) continue;
        if (qobject_cast<const TFRDropDownList*>(child)) {
            if (!enabled) child->hide();
            continue;
        }
        child->setEnabled(enabled);
        if (auto* nested = qobject_cast<TDisablePanel*>(child))
            nested->SetEnabled(enabled);
        else if (auto* edit = qobject_cast<TFREdit*>(child))
            edit->SetColor(enabled ? clWindow : clBtnFace);  // also the colour it returns to
        else if (auto* memo = qobject_cast<TFRMemo*>(child))
            memo->SetColor(enabled ? clWindow : clBtnFace);
        else if (IsEditLike(child))
            SetControlColor(child, enabled ? clWindow : clBtnFace);
    }
}

#include "moc_DisablePanel.cpp"
