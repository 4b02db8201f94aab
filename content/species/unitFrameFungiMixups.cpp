#include "content/species/unitFrameFungiMixups.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include "content/species/unitFrameFungi.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "shell/MyVisualUtils.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"

namespace {
const QString kDifference = QStringLiteral("DifferenceText");
}

TframeFungiMixups::TframeFungiMixups(QWidget* parent) : TframeFungiList(parent) {
    panelFrameHeader->setText(QStringLiteral("   Förväxlingssvampar"));
    SetDelegate(
        [this](QPainter* painter, const QRect& rect, int row) {
            const QFontMetrics normal(painter->font());
            const int textHeight = normal.height();
            QFont heavy = painter->font();
            heavy.setBold(true);
            painter->setFont(heavy);
            const QFontMetrics heavyMetrics(heavy);
            const int left = rect.left() + 8;
            const int top = rect.top() + 4;
            painter->drawText(left, top + heavyMetrics.ascent(), Text(row, QStringLiteral("MixupName")));
            QFont plain = heavy;
            plain.setBold(false);
            painter->setFont(plain);
            painter->drawText(left, top + heavyMetrics.height() + normal.ascent(),
                              Text(row, QStringLiteral("MixupEdible")));
            const QStringList lines = WrapText(normal, TextWidth(), Text(row, kDifference));
            for (int i = 0; i < lines.size(); ++i)
                painter->drawText(left, top + 20 + (i + 1) * textHeight + normal.ascent(), lines.at(i));
        },
        [this](int row, int) {
            const QFontMetrics metrics = fontMetrics();
            return EntryHeight(metrics.height(), int(WrapText(metrics, TextWidth(), Text(row, kDifference)).size()));
        });
    sbtnNew = AddButton(QStringLiteral("Ny..."), "sbtnNew",
                        QStringLiteral("Föreslå en ny förväxlingsart för denna svampart"));
    sbtnShow = AddButton(QStringLiteral("Visa"), "sbtnShow",
                         QStringLiteral("Visa den markerade förväxlingssvampens beskrivning"));
    Buttons()->addStretch(1);
    connect(sbtnNew, &QToolButton::clicked, this, [this] { btnNewClick(); });
    connect(sbtnShow, &QToolButton::clicked, this, [this] { ShowMixup(listEntries->currentRow()); });
}

int TframeFungiMixups::EntryHeight(int textHeight, int lines) { return (textHeight + 1) * (lines + 1) + 26; }

QStringList TframeFungiMixups::WrapText(const QFontMetrics& metrics, int width, const QString& text) {
    QStringList lines;
    QString rest = text;
    // Each pass takes at least one character, so the loop ends.
    while (!rest.isEmpty()) {
        QString line;
        const qsizetype before = rest.size();
        GetWrappedLine(metrics, std::max(width, 1), rest, line);
        lines.append(line);
        if (rest.size() >= before) break;
    }
    return lines;
}

int TframeFungiMixups::TextWidth() const { return std::max(1, listEntries->viewport()->width() - 16); }

void TframeFungiMixups::UpdateFrame() {
    // Hidden while refilled, so that it is drawn once with the new heights.
    listEntries->setVisible(false);
    TframeFungiList::UpdateFrame();
    listEntries->setVisible(true);
}

void TframeFungiMixups::UpdateButtons() { sbtnShow->setEnabled(HasSelection()); }

void TframeFungiMixups::ShowMixup(int row) {
    const QString key = Text(row, QStringLiteral("MixupUKey"));
    if (!FRFungiScreen || row < 0) return;
    if (TFRHistoryItems* history = History())
        if (FRFungiScreen->Frame())
            if (TFRHistoryItem* item = FRFungiScreen->Frame()->CreateHistoryItem()) history->Add(item);
    TExtClientDataSet* fungi = FRFungiScreen->Fungi();
    // A species missing from the register is told, and the list stays as it was.
    if (!LocateUKey(fungi, key)) FRFungiScreen->ShowFungiInSelection(key);
    FRFungiScreen->UpdateFrame();
}

void TframeFungiMixups::btnNewClick() {
    if (!FRFungiScreen || !FRFungiScreen->Fungi()->Active() || FRFungiScreen->Fungi()->IsEmpty()) return;
    TExtClientDataSet* mixups = FRFungiScreen->DataModule()->cdsFungiMixups;
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    FRFungiScreen->SetBrowseEnabled(false);
    try {
        mixups->Append();
    } catch (...) {
        if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
        FRFungiScreen->SetBrowseEnabled(true);
        throw;
    }
    FRFungiScreen->MixupDetailScreen->Activate(QString());
}

TFRFrameBase* TFRFungiMixupScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiMixups>(); }

#include "moc_unitFrameFungiMixups.cpp"
