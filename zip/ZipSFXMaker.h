#pragma once
// The builder of self-extracting archives: an extractor stub file, the settings header and
// the zip data with every offset moved by what stands in front of it. The stub is a file
// found at run time (the program's own, "ZSTUBus.BIN" in the program folder); its contents
// are copied as they are. Every file is written through the checked atomic writer, and a
// source is removed only once its replacement is in place.
#include <QPointer>
#include <QString>

#include "zip/ZipMstr.h"

class TZipSFXMaker : public TZipSFXBase {
public:
    explicit TZipSFXMaker(QObject* owner = nullptr);

    int ConvertToSFX(TZipArchiver* master) override;
    int ConvertToZip(TZipArchiver* master) override;
    int NewSFXFile(TZipArchiver* master, const QString& exeName) override;
    QString VersionText() const override { return Version() + QStringLiteral(" 1.72.0.0"); }
    QString StubFileName() const override { return QStringLiteral("ZSTUB") + m_language + QStringLiteral(".BIN"); }
    TSFXProperties Prepare(const TZipArchiver* master) const override;

    QString Version() const { return QStringLiteral("10-23-2002"); }
    void SetVersion(const QString&) {}
    // The two-letter code in the stub's file name.
    QString Language() const { return m_language; }
    void SetLanguage(const QString& code) { m_language = code; }
    // A stub path of the builder's own; searched for when empty.
    QString StubPath() const { return m_stubPath; }
    void SetStubPath(const QString& path) { m_stubPath = path; }
    // The stub to use for the master, or an empty text after message 10802.
    QString FindStub(TZipArchiver* master);

private:
    int Make(TZipArchiver* master, const QString& exeName, bool empty);
    int BackToZip(TZipArchiver* master);
    void Begin(TZipArchiver* master);
    void RemoveSource(TZipArchiver* master, const QString& path);

    QPointer<TZipArchiver> m_master;
    bool m_busy = false;
    QString m_language = QStringLiteral("us");
    QString m_stubPath;
};
