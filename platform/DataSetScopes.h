#pragma once
// Scope guards for datasets, so that every way out of a block (a return or an exception)
// leaves the dataset as the block found it.
#include "platform/ClientDataSet.h"

// An edit that is cancelled unless it was posted: the dataset leaves edit or insert state
// when the scope ends, whatever happened inside it.
class TEditScope {
public:
    enum TStart { Edit, Append, AsItIs };
    explicit TEditScope(TClientDataSet* dataSet, TStart start = Edit) : m_dataSet(dataSet) {
        if (start == Edit) m_dataSet->Edit();
        if (start == Append) m_dataSet->Append();
    }
    ~TEditScope() {
        try {
            if (m_dataSet && m_dataSet->Active() && m_dataSet->State() != TDataSetState::dsBrowse) m_dataSet->Cancel();
        } catch (...) {
            // A failing cancel must not end the program while another failure unwinds.
        }
    }
    TEditScope(const TEditScope&) = delete;
    TEditScope& operator=(const TEditScope&) = delete;
    void Post() { m_dataSet->Post(); }
    // The edit stays open past the scope (its owner goes on with it).
    void Keep() { m_dataSet = nullptr; }

private:
    TClientDataSet* m_dataSet;
};

// Bound controls are told nothing while the scope lives (nested scopes count).
class TDisabledControls {
public:
    explicit TDisabledControls(TClientDataSet* dataSet) : m_dataSet(dataSet) { m_dataSet->DisableControls(); }
    ~TDisabledControls() {
        try {
            m_dataSet->EnableControls();
        } catch (...) {}
    }
    TDisabledControls(const TDisabledControls&) = delete;
    TDisabledControls& operator=(const TDisabledControls&) = delete;

private:
    TClientDataSet* m_dataSet;
};
