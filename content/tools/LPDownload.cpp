#include "content/tools/LPDownload.h"

#include <utility>

#include "content/species/pictures/FungiPicOperations.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIConnection.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/DataSetScopes.h"

namespace {

const QString kPicType = QStringLiteral("PicType");
const QString kPicDownloaded = QStringLiteral("PicDownloaded");

bool IsPendingLink(const TClientDataSet* pics, int row) {
    const QVariant type = pics->RecordValue(row, pics->FieldByName(kPicType)->Index());
    const QVariant downloaded = pics->RecordValue(row, pics->FieldByName(kPicDownloaded)->Index());
    return type.toString() == QLatin1String("LINK") && !downloaded.toBool();
}

}  // namespace

TLPDownload::TLPDownload(TDM* dm, TFRIConnection& connection) : m_dm(dm), m_connection(connection) {}

TLPDownload::~TLPDownload() = default;

QString TLPDownload::FileNameOf(const QString& url) { return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1); }

int TLPDownload::CountLinkedPictures() {
    TDMServices* services = TDMServices::Of(m_dm);
    auto busy = [services](bool on) {
        if (services && services->Hooks.SetBusyCursor) services->Hooks.SetBusyCursor(on);
    };
    busy(true);
    struct TIdle {
        decltype(busy)& off;
        ~TIdle() { off(false); }
    } idle{busy};

    m_pending.clear();
    // Every species' pictures, whatever the pictures table shows.
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    TClientDataSet* stored = pics->InternalDataSet();
    if (!stored->Active()) pics->OpenInternal();
    const int key = stored->FieldByName(QStringLiteral("UKey"))->Index();
    for (int row = 0; row < stored->RecordCount(); ++row)
        if (IsPendingLink(stored, row)) m_pending << stored->RecordValue(row, key).toString();

    // The species table shows what its file holds now, on the species it was on.
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    const QString fungiKey = fungi->Active() && !fungi->IsEmpty() ? GetUKey(fungi) : QString();
    fungi->LoadData();
    if (!fungiKey.isEmpty()) static_cast<void>(LocateUKey(fungi, fungiKey));
    return PendingCount();
}

void TLPDownload::Abort() {
    Aborted = true;
    if (m_connection.Connected()) m_connection.Disconnect();
}

void TLPDownload::DownloadAll() {
    Running = true;
    Aborted = false;
    Done = 0;
    Failures = 0;
    FailureLines.clear();
    PictureBytes = 0;
    RunBytes = 0;

    // The connection reports to this run, quietly, and the pictures table reaches every
    // species' pictures; both are given back however the run ends.
    struct TRestore {
        TLPDownload& run;
        TExtClientDataSet* pics;
        TDataSource* master = pics->MasterSource();
        bool quiet = run.m_connection.Quiet();
        std::function<void(qint64)> begin = run.m_connection.OnWorkBegin;
        std::function<void(qint64)> work = run.m_connection.OnWork;
        std::function<void()> end = run.m_connection.OnWorkEnd;
        ~TRestore() {
            TFRIConnection& connection = run.m_connection;
            connection.SetQuiet(quiet);
            connection.OnWorkBegin = begin;
            connection.OnWork = work;
            connection.OnWorkEnd = end;
            run.Running = false;
            try {
                pics->SetMasterSource(master);
            } catch (...) {
                // Nothing more to do while another failure unwinds.
            }
        }
    } restore{*this, m_dm->cdsFungiPics};

    m_connection.SetQuiet(true);
    m_connection.OnWorkBegin = [this](qint64 expected) {
        if (OnWorkBegin) OnWorkBegin(expected);
    };
    m_connection.OnWork = [this](qint64 count) {
        RunBytes += count - PictureBytes;
        PictureBytes = count;
        if (OnWork) OnWork(count);
    };
    m_connection.OnWorkEnd = [this] {
        if (OnWorkEnd) OnWorkEnd();
    };
    m_dm->cdsFungiPics->SetMasterSource(nullptr);

    for (const QString& key : std::as_const(m_pending)) {
        if (Aborted) break;
        DownloadOne(key);
        ++Done;
        if (OnProgress) OnProgress();
    }
}

void TLPDownload::DownloadOne(const QString& key) {
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    // A picture removed or fetched since the count is no longer pending.
    if (!LocateUKey(pics, key) || pics->FieldByName(kPicType)->AsString() != QLatin1String("LINK") ||
        pics->FieldByName(kPicDownloaded)->AsBoolean())
        return;

    const QString url = pics->FieldByName(QStringLiteral("PicURL"))->AsString();
    PictureBytes = 0;
    if (OnPicture) OnPicture(FileNameOf(url), pics->FieldByName(QStringLiteral("PicSource"))->AsString());
    auto failed = [&](const Exception& e) {
        ++Failures;
        FailureLines << QStringLiteral("%1: %2").arg(url, e.Message());
    };
    try {
        fungipics::DownloadWebPicture(m_connection, pics);
    } catch (const Exception& e) {
        // An interrupted transfer is no failure of its picture.
        if (!Aborted) failed(e);
        return;
    }

    if (!pics->FieldByName(QStringLiteral("MainPicSource"))->AsBoolean()) return;
    const QString fungiKey = pics->FieldByName(QStringLiteral("MasterUKey"))->AsString();
    // A main picture that cannot be made leaves the picture pending, so the next run makes
    // both again instead of skipping a species that still has none.
    auto mainFailed = [&](const Exception& e) {
        failed(e);
        try {
            if (LocateUKey(pics, key)) {
                TEditScope edit(pics);
                pics->FieldByName(kPicDownloaded)->SetAsBoolean(false);
                edit.Post();
            }
        } catch (const Exception&) {}
    };
    if (!LocateUKey(fungi, fungiKey)) {
        // A species the selection hides gets its main picture where it is stored.
        TClientDataSet* stored = fungi->InternalDataSet();
        if (!stored->Active()) fungi->OpenInternal();
        const int row = stored->FindRecordIndex(QStringLiteral("UKey"), fungiKey);
        if (row < 0 || stored->RecordValue(row, stored->FieldByName(QStringLiteral("HasPic"))->Index()).toBool())
            return;
        try {
            fungipics::MakeFirstMainPicture(pics, fungi);
        } catch (const Exception& e) {
            mainFailed(e);
        }
        return;
    }
    if (fungi->FieldByName(QStringLiteral("HasPic"))->AsBoolean()) return;
    // The main picture is made among the species' own pictures.
    TDataSource* master = m_dm->dsFungi;
    pics->SetMasterSource(master);
    struct TDetach {
        TExtClientDataSet* pics;
        ~TDetach() {
            try {
                pics->SetMasterSource(nullptr);
            } catch (...) {}
        }
    } detach{pics};
    if (!LocateUKey(pics, key)) return;
    try {
        fungipics::MakeMainPicture(pics, fungi);
    } catch (const Exception& e) {
        mainFailed(e);
    }
}
