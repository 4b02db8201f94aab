#pragma once
// The download of every linked species picture ("LINK") whose file is not there yet: each
// is fetched through the program's connection, gets its thumbnail, and gives its species the
// main picture where it is marked as its source and the species has none. No widgets: the
// wizard shows what this does.
//
// A picture that cannot be fetched (a refused address, an error status, a stalled or too
// large reply, a body that is no picture) stays not downloaded and counts as a failure; the
// next run takes it up again.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TDM;
class TFRIConnection;

class TLPDownload {
public:
    TLPDownload(TDM* dm, TFRIConnection& connection);
    ~TLPDownload();
    TLPDownload(const TLPDownload&) = delete;
    TLPDownload& operator=(const TLPDownload&) = delete;

    // Finds the pictures to download; their number.
    int CountLinkedPictures();
    // Downloads them one after the other until they are done or the run is aborted.
    void DownloadAll();
    // Stops the run: the transfer in hand is interrupted and its picture stays pending.
    void Abort();

    int PendingCount() const { return int(m_pending.size()); }
    bool Running = false;
    bool Aborted = false;
    int Done = 0;
    int Failures = 0;
    // Why each failed picture failed.
    QStringList FailureLines;
    // The bytes of the picture in hand, and of the whole run so far.
    qint64 PictureBytes = 0;
    qint64 RunBytes = 0;

    // A picture begins: the file name (the part of PicURL after its last "/") and PicSource.
    std::function<void(const QString& fileName, const QString& source)> OnPicture;
    // The transfer of the picture in hand: its expected size (0 when unknown), the bytes so
    // far, its end.
    std::function<void(qint64 expected)> OnWorkBegin;
    std::function<void(qint64 count)> OnWork;
    std::function<void()> OnWorkEnd;
    // A picture is done (downloaded or failed).
    std::function<void()> OnProgress;

    // The file name shown for an address.
    static QString FileNameOf(const QString& url);

private:
    void DownloadOne(const QString& key);

    TDM* m_dm;
    TFRIConnection& m_connection;
    QStringList m_pending;
};
