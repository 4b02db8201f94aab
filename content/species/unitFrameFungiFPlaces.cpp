#include "content/species/unitFrameFungiFPlaces.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "shell/ScreenRequests.h"
#include "core/unitDMServices.h"
#include "platform/ClientDataSet.h"

TframeFungiFPlaces::TframeFungiFPlaces(QWidget* parent) : TframeFungiList(parent) {
    panelFrameHeader->setText(QStringLiteral("   Svampställen"));
    SetDelegate(
        [this](QPainter* painter, const QRect& rect, int row) {
            QFont heavy = painter->font();
            heavy.setBold(true);
            painter->setFont(heavy);
            const QFontMetrics metrics(heavy);
            painter->drawText(
                rect.left() + 8, rect.top() + 4 + metrics.ascent(),
                metrics.elidedText(Text(row, QStringLiteral("PlaceName")), Qt::ElideRight, rect.width() - 12));
        },
        [this](int, int) { return fontMetrics().height() + 10; });
    sbtnUpdate =
        AddButton(QStringLiteral("Uppdatera svampställen"), "sbtnUpdate",
                  QStringLiteral("Uppdatera databasen för att reflektera nyligen lagrade svampställeutflykter"));
    Buttons()->addStretch(1);
    connect(sbtnUpdate, &QToolButton::clicked, this, [this] { btnUpdateClick(); });
}

void TframeFungiFPlaces::UpdateButtons() {}

void TframeFungiFPlaces::btnUpdateClick() {
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        if (FRFungiScreen)
            if (TDMServices* services = TDMServices::Of(FRFungiScreen->DataModule())) services->BuildPlacesPerFungi();
    }
    UpdateScreen();
}

void TframeFungiFPlaces::EntryDoubleClick(int row) {
    const QString place = Text(row, QStringLiteral("PlaceUKey"));
    TPlaceRequests* places = ScreenRequests::Places();
    if (place.isEmpty() || !places) return;
    if (TFRHistoryItems* history = History())
        if (FRFungiScreen && FRFungiScreen->Frame())
            if (TFRHistoryItem* item = FRFungiScreen->Frame()->CreateHistoryItem()) history->Add(item);
    places->ShowPlace(place);
}

TFRFrameBase* TFRFungiFPlaceScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiFPlaces>(); }

#include "moc_unitFrameFungiFPlaces.cpp"
