#pragma once
// The small download-progress window of the HTTP connection: the connection's status text
// as caption, its detail text as label, a bar of the bytes so far and "Avbryt", which ends
// the transfer.
#include "core/FRIConnection.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class TformInetProgress : public QWidget, public TInetProgressView {
    Q_OBJECT
public:
    explicit TformInetProgress(TFRIConnection* connection, QWidget* parent = nullptr);

    void SetCaption(const QString& text) override;
    void SetInfo(const QString& text) override;
    void SetMaximum(qint64 maximum) override;
    void SetPosition(qint64 position) override;

    QLabel* lblInfo = nullptr;
    QProgressBar* progbarMain = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetupForm();
    int Scaled(qint64 bytes) const;

    QPointer<TFRIConnection> m_connection;
    // The bar counts in steps of this many bytes, so that any size fits its int range.
    qint64 m_unit = 1;
};

// Gives the connection its progress window and its hourglass cursor.
void InstallInetProgress(TFRIConnection& connection);
