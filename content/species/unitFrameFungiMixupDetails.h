#pragma once
// The proposal of a new look-alike pair: the other species, what tells it apart and, when
// mirrored, what tells the current species apart from it. The proposal goes to the report
// service; nothing is stored.
#include <QUrl>
#include <functional>

#include "content/species/unitFungiScreen.h"

class QCheckBox;
class QLabel;
class QPushButton;
class TDataSource;
class TFRDBMemo;
class TFRInfoPanel;
class TFRMemo;
class TFRSearchPanel;

// The settings key of the report service's host ("mykotekshallen.se", or with a scheme).
inline constexpr const char* MixupReportHostKey = "Internet/MixupReportHost";
// The request of a proposal: every value is percent-encoded as UTF-8, so that no character
// typed can end a value or add a parameter.
QUrl MixupReportUrl(const QString& host, const QString& fungi1, const QString& difference1, const QString& fungi2,
                    const QString& difference2, const QString& user);

// How long a report may take before it counts as failed.
inline constexpr int MixupReportTimeoutMs = 30000;
// Sends the request and waits for it to finish; raises with a Swedish message on failure.
void MixupReportGet(const QUrl& url);

class TframeFungiMixupDetails : public TframeFungiDetailBase {
    Q_OBJECT
public:
    explicit TframeFungiMixupDetails(QWidget* parent = nullptr);
    void UpdateFrame() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

public:
    void MirrorClick();
    // Validates and sends the proposal; the record is cancelled afterwards either way.
    void btnSaveClick();
    void btnCancelClick();

    // Sends the request; raises on failure. MixupReportGet unless a caller puts another in;
    // an empty one also means MixupReportGet.
    static std::function<void(const QUrl&)>& Sender();

    QLabel* lblMixup = nullptr;
    TFRSearchPanel* searchMixup = nullptr;
    TFRDBMemo* dbmemoDifference = nullptr;
    QCheckBox* chkMirror = nullptr;
    TFRMemo* memoMirror = nullptr;
    TFRInfoPanel* infoPanel = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Finish();
    TDataSource* m_source = nullptr;
};
