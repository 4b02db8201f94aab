#pragma once
// The back/forward history. Before a frame leaves a view for another record or screen it
// adds an item describing that view; going back or forward activates the item's screen
// again and lets its frame restore the view from the item. One list exists for the whole
// program (TFRScreenHost::History()); it is not saved.
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "shell/FRScreens.h"

class TClientDataSet;

// One view: the screen to activate again, and the frame's own state as Key=Value lines
// (Boolean values as "0" or "1").
class TFRHistoryItem : public QStringList {
public:
    // The screen to re-activate; reaching an item without one changes nothing on display.
    QPointer<TFRScreen> Screen;
    TClientDataSet* DataSet = nullptr;
    // The hint of the back or forward button that leads to this item.
    QString Title;
    // The key of the record shown, or empty.
    QString UKey;

    // The value of the first line "Name=..." (name without regard to case), or empty.
    QString Values(const QString& name) const;
    // Replaces the value of that line, or appends "Name=Value".
    void SetValues(const QString& name, const QString& value);
    bool BoolValues(const QString& name) const { return Values(name) == QLatin1String("1"); }
    void SetBoolValues(const QString& name, bool value) {
        SetValues(name, value ? QStringLiteral("1") : QStringLiteral("0"));
    }

private:
    int IndexOfName(const QString& name) const;
};

// The list of items. Current is the index of the item shown; it equals Count while the
// user is on a live view that has no item yet.
class TFRHistoryItems {
public:
    // The host's history buttons follow every change; without a host there are none.
    explicit TFRHistoryItems(TFRScreenHost* host = nullptr);
    ~TFRHistoryItems();
    TFRHistoryItems(const TFRHistoryItems&) = delete;
    TFRHistoryItems& operator=(const TFRHistoryItems&) = delete;

    int Count() const { return int(m_items.size()); }
    int Current() const { return m_current; }
    TFRHistoryItem* GetItem(int index) const { return m_items.at(index).get(); }

    // Takes the item over (nothing for nullptr): drops the items from Current onward,
    // appends it and stands on the live view after it.
    void Add(TFRHistoryItem* item);
    void Delete(int index);
    // Deletes the items from the index to the end.
    void DeleteFrom(int index);
    void Clear();

    bool CanBack() const { return Count() >= 1 && m_current >= 1; }
    bool CanForward() const { return Count() >= 1 && m_current < Count() - 1; }
    // From a live view the first Back stores that view as the newest item (when there is a
    // current frame that describes it) and shows the item before it.
    void Back();
    void Forward();
    // Shows the item at Current.
    void GoToCurrent();

private:
    void Clamp();
    void UpdateButtons();

    TFRScreenHost* m_host;
    QList<std::shared_ptr<TFRHistoryItem>> m_items;
    int m_current = 0;
};
