#include <QtTest>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "controls/DisablePanel.h"
#include "controls/FRColorbar.h"
#include "controls/FRDBSeason.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FREdits.h"
#include "controls/FRInfoPanel.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "controls/FRTitlePicture.h"
#include "controls/FRToolPanel.h"
#include "controls/FlatPageControl.h"
#include "platform/ClientDataSet.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

// A mushroom for the picture tiles, drawn here.
QPixmap Mushroom(const QColor& cap, QSize size) {
    QPixmap pm(size);
    pm.fill(QColor(200, 225, 190));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width(), h = size.height();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 240, 225));
    p.drawRoundedRect(QRectF(w * 0.42, h * 0.4, w * 0.16, h * 0.5), 4, 4);
    QPainterPath hat;
    hat.moveTo(w * 0.12, h * 0.48);
    hat.cubicTo(w * 0.15, h * 0.05, w * 0.85, h * 0.05, w * 0.88, h * 0.48);
    hat.closeSubpath();
    p.setBrush(cap);
    p.drawPath(hat);
    p.setBrush(Qt::white);
    for (const QPointF& dot : {QPointF(0.35, 0.3), QPointF(0.55, 0.22), QPointF(0.68, 0.36)})
        p.drawEllipse(QPointF(w * dot.x(), h * dot.y()), w * 0.04, w * 0.04);
    return pm;
}

// One captioned cell of the gallery; the sample widget is fixed at its own size.
QWidget* Cell(const QString& caption, QWidget* sample, QSize size = QSize()) {
    auto* cell = new QWidget;
    auto* l = new QVBoxLayout(cell);
    l->setContentsMargins(4, 4, 4, 4);
    l->setSpacing(2);
    auto* label = new QLabel(caption, cell);
    label->setObjectName("caption");
    l->addWidget(label);
    if (size.isValid()) sample->setFixedSize(size);
    l->addWidget(sample, 0, Qt::AlignLeft | Qt::AlignTop);
    l->addStretch(1);
    cell->setObjectName("cell");
    return cell;
}

// A panel of its own for an edit, so that the edit's list has room under it.
QWidget* EditPanel(TFREdit*& edit, const QString& text, int listRoom) {
    auto* panel = new QWidget;
    panel->setFixedSize(160, 18 + listRoom);
    edit = new TFREdit(panel);
    edit->setGeometry(2, 2, 150, 14);
    edit->setText(text);
    return panel;
}

}  // namespace

class TestGallery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gallery_showsEveryControlInEveryState() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
        const QStringList provinces = {"Blekinge", "Bohuslän",    "Dalarna",    "Dalsland", "Gotland", "Gästrikland",
                                       "Halland",  "Hälsingland", "Härjedalen", "Jämtland", "Lappland"};

        TClientDataSet table(nullptr, "cdsGallery");
        table.SetFieldDefs({{"Province", TFieldType::ftString, 30},
                            {"Notes", TFieldType::ftString, 200},
                            {"Locked", TFieldType::ftBoolean, 0}});
        table.CreateDataSet();
        table.Append();
        table.FieldByName("Province")->SetAsString("Östergötland");
        table.FieldByName("Notes")->SetAsString("Växer i barrskog på\nmossig mark, augusti–oktober.");
        table.FieldByName("Locked")->SetAsBoolean(true);
        table.Post();
        TDataSource source(nullptr, "dsGallery");
        source.SetDataSet(&table);

        QWidget window;
        window.setObjectName("gallery");
        window.setWindowTitle("Kontrollgalleri");
        auto* grid = new QGridLayout(&window);
        grid->setSpacing(6);
        QList<QWidget*> focusedSamples;

        // ---- Edits ----
        TFREdit* edit;
        grid->addWidget(Cell("TFREdit", EditPanel(edit, "Kantarell", 0)), 0, 0);
        TFREdit* focusedEdit;
        QWidget* focusedEditPanel = EditPanel(focusedEdit, "Gä", 110);
        focusedEdit->SetItems(provinces);
        focusedEdit->AlwaysDropdown = true;
        focusedEdit->SetDropDownCount(6);
        grid->addWidget(Cell("TFREdit med fokus och lista", focusedEditPanel), 0, 1, 2, 1);
        focusedSamples << focusedEdit;
        TFREdit* disabledEdit;
        grid->addWidget(Cell("TFREdit avstängd", EditPanel(disabledEdit, "Flugsvamp", 0)), 0, 2);
        disabledEdit->setEnabled(false);
        auto* dbPanel = new QWidget;
        dbPanel->setFixedSize(300, 18);
        auto* label = new TFRLabel("Landskap:", dbPanel);
        label->move(0, 2);
        auto* dbEdit = new TFRDBEdit(dbPanel);
        dbEdit->setGeometry(140, 2, 150, 14);
        dbEdit->SetDataSource(&source);
        dbEdit->SetDataField("Province");
        grid->addWidget(Cell("TFRLabel och TFRDBEdit", dbPanel), 1, 0);

        // ---- Memos ----
        auto* memo = new TFRMemo;
        memo->SetText("Hatten är gul till\näggulaktig.");
        grid->addWidget(Cell("TFRMemo", memo, QSize(185, 60)), 2, 0);
        auto* focusedMemo = new TFRMemo;
        focusedMemo->SetText("Med fokus: fönsterfärg.");
        grid->addWidget(Cell("TFRMemo med fokus", focusedMemo, QSize(185, 60)), 2, 1);
        focusedSamples << focusedMemo;
        auto* dbMemo = new TFRDBMemo;
        dbMemo->SetDataSource(&source);
        dbMemo->SetDataField("Notes");
        dbMemo->setEnabled(false);
        grid->addWidget(Cell("TFRDBMemo avstängd", dbMemo, QSize(185, 60)), 2, 2);

        // ---- Locks ----
        auto* locks = new QWidget;
        auto* lockRow = new QHBoxLayout(locks);
        lockRow->setContentsMargins(0, 0, 0, 0);
        auto addLock = [&](QWidget* lock, const QString& caption) {
            auto* w = new QWidget;
            auto* l = new QVBoxLayout(w);
            l->setContentsMargins(0, 0, 0, 0);
            lock->setFixedSize(26, 16);
            l->addWidget(lock, 0, Qt::AlignHCenter);
            l->addWidget(new QLabel(caption), 0, Qt::AlignHCenter);
            lockRow->addWidget(w);
        };
        addLock(new TFRDBLock, "odefinierad");
        auto* unlocked = new TFRLock;
        addLock(unlocked, "olåst");
        auto* locked = new TFRLock;
        locked->SetLocked(true);
        addLock(locked, "låst");
        auto* dbLock = new TFRDBLock;
        dbLock->SetDataSource(&source);
        dbLock->SetDataField("Locked");
        addLock(dbLock, "fält låst");
        auto* offLock = new TFRLock;
        offLock->setEnabled(false);
        addLock(offLock, "avstängd");
        grid->addWidget(Cell("TFRLock och TFRDBLock", locks), 3, 0, 1, 2);

        // ---- Information panels, one per icon ----
        const QList<QPair<TInfoPanelIcon, QString>> icons = {
            {TInfoPanelIcon::icNoIcon, "Ingen ikon"},
            {TInfoPanelIcon::icInfo, "Information: arten är ätlig."},
            {TInfoPanelIcon::icWarning, "Varning: förväxlas lätt med giftiga arter."},
            {TInfoPanelIcon::icQuestion, "Fråga: vill du spara fyndet?"},
            {TInfoPanelIcon::icError, "Fel: filen kunde inte läsas."}};
        auto* infos = new QWidget;
        auto* infoCol = new QVBoxLayout(infos);
        infoCol->setContentsMargins(0, 0, 0, 0);
        for (const auto& [icon, text] : icons) {
            auto* panel = new TFRInfoPanel;
            panel->SetIcon(icon);
            panel->SetInfo({text, "Andra raden med å, ä och ö."});
            panel->setFixedSize(400, 80);
            infoCol->addWidget(panel);
        }
        grid->addWidget(Cell("TFRInfoPanel", infos), 0, 3, 6, 1);

        // ---- Picture tiles ----
        auto* tiles = new QWidget;
        tiles->setFixedSize(3 * 141, 185);
        const QList<QPair<QColor, QString>> caps = {{QColor(210, 30, 20), "Röd flugsvamp"},
                                                    {QColor(150, 95, 40), "Karljohan"},
                                                    {QColor(240, 170, 20), "Kantarell"}};
        QList<TFRTitlePicture*> tileList;
        for (int i = 0; i < 3; ++i) {
            auto* tile = new TFRTitlePicture(tiles);
            tile->move(i * 141, 0);
            tile->SetPicture(Mushroom(caps[i].first, QSize(120, 100 + 20 * i)));
            tile->SetCaption(caps[i].second);
            tileList << tile;
        }
        tileList[1]->SetChecked(true);
        tileList[2]->setEnabled(false);
        grid->addWidget(Cell("TFRTitlePicture (mitten vald, höger avstängd)", tiles), 4, 0, 1, 3);

        // ---- Tool tiles ----
        auto* tools = new QWidget;
        tools->setFixedSize(617, 2 * 92);
        auto* tool = new TFRToolPanel(tools);
        tool->SetGlyph(Mushroom(QColor(200, 40, 30), QSize(40, 40)));
        tool->SetHeaderCaption("Databaskontroll");
        tool->SetText(
            {"Kontrollerar och reparerar databasens tabeller.", "Pekaren står över knappen, som därför är markerad."});
        auto* tool2 = new TFRToolPanel(tools);
        tool2->move(0, 92);
        tool2->SetGlyph(Resources::Bitmap("ICONINFO"));
        tool2->SetHeaderCaption("Bildimport från cd (avstängd)");
        tool2->SetText(
            {"Hämtar bilder från föreningens skivor. En lång rad bryts vid textens största bredd så att "
             "den aldrig går utanför rutan."});
        tool2->SetTextMaxWidth(450);
        tool2->setEnabled(false);
        grid->addWidget(Cell("TFRToolPanel", tools), 5, 0, 1, 3);

        // ---- Disable panels, nested ----
        auto makeDisable = [](bool enabled) {
            auto* outer = new TDisablePanel;
            outer->setFrameShape(QFrame::Box);
            outer->setFixedSize(260, 110);
            auto* e = new QLineEdit("Yttre redigering", outer);
            e->setGeometry(6, 6, 150, 20);
            auto* c = new QComboBox(outer);
            c->addItem("Ätlig");
            c->setGeometry(162, 6, 90, 20);
            auto* inner = new TDisablePanel(outer);
            inner->setFrameShape(QFrame::Box);
            inner->setGeometry(6, 32, 248, 72);
            auto* ie = new QLineEdit("Inre redigering", inner);
            ie->setGeometry(6, 6, 150, 20);
            auto* im = new TFRMemo(inner);
            im->SetText("Inre memo");
            im->setGeometry(6, 32, 236, 34);
            outer->SetEnabled(enabled);
            return outer;
        };
        grid->addWidget(Cell("TDisablePanel påslagen", makeDisable(true)), 6, 0);
        grid->addWidget(Cell("TDisablePanel avstängd (även den inre)", makeDisable(false)), 6, 1);

        // ---- Flat page control: the second page in the target panel ----
        auto* target = new QFrame;
        target->setFrameShape(QFrame::Box);
        target->setFixedSize(260, 60);
        auto* pages = new TFlatPageControl(target);
        pages->SetTargetPanel(target);
        pages->SetOffsetX(8);
        pages->SetOffsetY(6);
        for (int p = 0; p < 2; ++p) {
            QWidget* page = pages->AddPage(QString("Sida%1").arg(p + 1));
            auto* l = new TFRLabel(QString("Sida %1:").arg(p + 1), page);
            l->setGeometry(0, 4, 60, 14);
            auto* e = new TFREdit(page);
            e->setGeometry(70, 4, 150, 14);
            e->setText(p == 0 ? "Första sidan" : "Andra sidan visas");
        }
        pages->ShowPageByName("sida2");
        grid->addWidget(Cell("TFlatPageControl (sida 2 i målpanelen)", target), 6, 2);
        grid->setRowStretch(7, 1);

        // ---- Season bar and map of Sweden's regions, in a column of their own ----
        {
            auto* season = new TFRDBSeason;
            season->SetCaption("Säsong");
            grid->addWidget(Cell("TFRDBSeason", season, QSize(240, 120)), 0, 4, 2, 1);
            auto* editedSeason = new TFRDBSeason;
            editedSeason->SetCaption("Säsong (redigeras)");
            grid->addWidget(Cell("TFRDBSeason med fokus, tomt fält redigeras", editedSeason, QSize(240, 120)), 2, 4);
            focusedSamples << editedSeason;
            auto* map = new TFRDBSwedenMap;
            map->SetCaption("Förekomst");
            TIntensityColors colours;
            colours.Add(0xE0E0E0, "Saknas");
            colours.Add(0x80FFFF, "Sällsynt");
            colours.Add(0x00A0FF, "Ganska vanlig");
            colours.Add(0x0000E0, "Vanlig");
            map->SetIntensityColors(colours);
            grid->addWidget(Cell("TFRDBSwedenMap", map, QSize(250, 250)), 3, 4, 3, 1);

            // The tables come after the controls, so that the window frees the controls first.
            auto makeTable = [&](const QString& name, const QString& seasonText, const QString& regions) {
                auto* t = new TClientDataSet(&window, name);
                t->SetFieldDefs({{"Season", TFieldType::ftString, 12}, {"Occurence", TFieldType::ftString, 8}});
                t->CreateDataSet();
                t->Append();
                t->FieldByName("Season")->SetAsString(seasonText);
                t->FieldByName("Occurence")->SetAsString(regions);
                t->Post();
                auto* s = new TDataSource(&window, name.mid(1).prepend("d"));
                s->SetDataSet(t);
                return std::make_pair(t, s);
            };
            auto [browsed, browsedSource] = makeTable("cdsGalleryFungi", "000124686310", "32321100");
            season->SetDataSource(browsedSource);
            season->SetDataField("Season");
            map->SetDataSource(browsedSource);
            map->SetDataField("Occurence");
            QVERIFY(season->HasData() && map->HasData());
            auto [edited, editedSource] = makeTable("cdsGalleryEdit", "", "");
            editedSeason->SetDataSource(editedSource);
            editedSeason->SetDataField("Season");
            edited->Edit();
            QCOMPARE(editedSeason->SeasonText(), QString("000000000000"));
        }

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.setFocus();
        QMouseEvent hover(QEvent::MouseMove, QPointF(20, 20), tool->mapToGlobal(QPointF(20, 20)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tool, &hover);
        QVERIFY(tool->Highlighted());

        // The cells are side by side, never over each other, and inside the window.
        const QList<QWidget*> cells = window.findChildren<QWidget*>("cell");
        for (int i = 0; i < cells.size(); ++i) {
            const QRect a = cells[i]->geometry();
            QVERIFY(window.rect().contains(a));
            for (int j = i + 1; j < cells.size(); ++j) QVERIFY(!a.intersects(cells[j]->geometry()));
        }
        for (QLabel* caption : window.findChildren<QLabel*>("caption"))
            QVERIFY2(caption->width() >= caption->sizeHint().width(), qPrintable(caption->text()));

        // Every control without the focus, then each focused one over its place.
        QImage image = window.grab().toImage();
        for (QWidget* sample : focusedSamples) {
            sample->setFocus();
            QVERIFY(sample->hasFocus());
            if (sample == focusedEdit) {
                QVERIFY(focusedEdit->DroppedDown());
                QCOMPARE(focusedEdit->DropDownList()->currentRow(), provinces.indexOf("Gästrikland"));
            }
            QWidget* area = sample->parentWidget();
            QPainter p(&image);
            p.drawPixmap(area->mapTo(&window, QPoint(0, 0)), area->grab());
        }

        const QString file = testsupport::ArtefactDir() + "/controls_gallery.png";
        QVERIFY(image.save(file));
        QVERIFY(!image.isNull());
        QCOMPARE(UIServices::MessageLog().size(), 0);
        UIServices::SetMessageHook({});
    }

    // ---- Choices and the search panel ----
    void gallery_showsTheChoicesAndTheSearchPanel() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
        TClientDataSet table(nullptr, "cdsChoices");
        table.SetFieldDefs({{"Edibility", TFieldType::ftInteger, 0}, {"Habitats", TFieldType::ftString, 12}});
        table.CreateDataSet();
        table.Append();
        table.FieldByName("Edibility")->SetAsInteger(2);
        table.FieldByName("Habitats")->SetAsString("101001");
        table.Post();
        TDataSource source(nullptr, "dsChoices");
        source.SetDataSet(&table);

        QWidget window;
        window.setObjectName("galleryChoices");
        window.setWindowTitle("Kontrollgalleri: val och sökning");
        auto* grid = new QGridLayout(&window);
        grid->setSpacing(6);
        QList<QWidget*> focusedSamples;
        const QStringList edibility = {"Ätlig", "Giftig", "Oätlig", "Dödlig", "Okänd"};
        const QStringList habitats = {"Barrskog", "Lövskog", "Blandskog", "Hagmark", "Myr", "Park"};
        auto choice = [](TFRMultiChoice* c, const QStringList& items, int min, int max, int cols, int width) {
            c->SetItems(items);
            c->SetMinSelected(0);
            c->SetMaxSelected(max);
            c->SetMinSelected(min);
            c->SetColCount(cols);
            c->SetColWidth(width);
            return c;
        };

        auto* radio = choice(new TFRMultiChoice, edibility, 1, 1, 3, 60);
        radio->SetItemIndex(0);
        grid->addWidget(Cell("TFRMultiChoice, ett av flera", radio), 0, 0);
        auto* focusedRadio = choice(new TFRMultiChoice, edibility, 1, 1, 3, 60);
        focusedRadio->SetItemIndex(3);
        grid->addWidget(Cell("TFRMultiChoice med fokus", focusedRadio), 0, 1);
        focusedSamples << focusedRadio;
        auto* offRadio = choice(new TFRMultiChoice, edibility, 1, 1, 3, 60);
        offRadio->SetItemIndex(1);
        offRadio->setEnabled(false);
        grid->addWidget(Cell("TFRMultiChoice avstängd", offRadio), 0, 2);

        auto* many = choice(new TFRMultiChoice, habitats, 0, 0, 3, 64);
        many->SetItemOrder(TItemOrder::ioVertical);
        for (int i : {0, 3, 5}) many->SetSelected(i, true);
        grid->addWidget(Cell("Flerval, kolumnvis", many), 1, 0);
        auto* keyChoice =
            choice(new TFRMultiChoice, {"Hatten är slät", "Hatten är fjällig", "Hatten är klibbig"}, 0, 1, 1, 96);
        keyChoice->SetSelectedColor(0xC4FFFF);
        keyChoice->SetFontColor(clWindowText);
        keyChoice->SetSelected(1, true);
        grid->addWidget(Cell("Nyckelfråga (en kolumn)", keyChoice), 1, 1);
        auto* dbChoices = new QWidget;
        auto* dbColumn = new QVBoxLayout(dbChoices);
        dbColumn->setContentsMargins(0, 0, 0, 0);
        auto* dbRadio = static_cast<TFRDBMultiChoice*>(choice(new TFRDBMultiChoice, edibility, 1, 1, 5, 44));
        dbRadio->SetDataSource(&source);
        dbRadio->SetDataField("Edibility");
        auto* dbMany = static_cast<TFRDBMultiChoice*>(choice(new TFRDBMultiChoice, habitats, 0, 0, 3, 64));
        dbMany->SetDataSource(&source);
        dbMany->SetDataField("Habitats");
        dbColumn->addWidget(dbRadio);
        dbColumn->addWidget(dbMany);
        grid->addWidget(Cell("TFRDBMultiChoice (fält 2 och \"101001\")", dbChoices), 1, 2);
        QCOMPARE(dbRadio->SelectionOrder(), QList<int>({2}));
        QCOMPARE(dbMany->SelectionOrder(), QList<int>({0, 2, 5}));

        // The search panel, and under it its pick list as it opens for "*svamp".
        auto* searchArea = new QWidget;
        searchArea->setFixedSize(200, 130);
        auto* search = new TFRSearchPanel(searchArea);
        search->setGeometry(2, 2, 185, 22);
        for (const QString& name : QStringList{"Flugsvamp", "Röd flugsvamp", "Vit flugsvamp", "Panterflugsvamp",
                                               "Grönvit flugsvamp", "Brun flugsvamp", "Kantarell"})
            search->SearchList.AddUKey(name, name.left(3).toUpper());
        search->Edit->setText("*svamp");
        grid->addWidget(Cell("TFRSearchPanel med träfflista", searchArea), 2, 0);
        auto* focusedArea = new QWidget;
        focusedArea->setFixedSize(200, 26);
        auto* focusedSearch = new TFRSearchPanel(focusedArea);
        focusedSearch->setGeometry(2, 2, 185, 22);
        focusedSearch->Edit->setText("Karljohan");
        grid->addWidget(Cell("TFRSearchPanel med fokus", focusedArea), 2, 1);
        focusedSamples << focusedSearch->Edit;
        grid->setRowStretch(3, 1);

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.setFocus();

        const QList<QWidget*> cells = window.findChildren<QWidget*>("cell");
        for (int i = 0; i < cells.size(); ++i) {
            const QRect a = cells[i]->geometry();
            QVERIFY(window.rect().contains(a));
            for (int j = i + 1; j < cells.size(); ++j) QVERIFY(!a.intersects(cells[j]->geometry()));
        }
        for (QLabel* caption : window.findChildren<QLabel*>("caption"))
            QVERIFY2(caption->width() >= caption->sizeHint().width(), qPrintable(caption->text()));

        QImage image = window.grab().toImage();
        for (QWidget* sample : focusedSamples) {
            sample->setFocus();
            QVERIFY(sample->hasFocus());
            QWidget* area = sample->parentWidget();
            QPainter p(&image);
            p.drawPixmap(area->mapTo(&window, QPoint(0, 0)), area->grab());
        }
        // The pick list is a window of its own; it is drawn where it opens.
        QPixmap hitForm;
        UIServices::SetDialogHook([&](QDialog* dialog) { hitForm = dialog->grab(); });
        search->Search();
        UIServices::SetDialogHook({});
        QVERIFY(!hitForm.isNull());
        {
            QPainter p(&image);
            p.drawPixmap(search->mapTo(&window, QPoint(-2, search->height() - 2)), hitForm);
        }

        QVERIFY(image.save(testsupport::ArtefactDir() + "/controls_gallery_choices.png"));
        QCOMPARE(UIServices::MessageLog().size(), 0);
        UIServices::SetMessageHook({});
    }

    // ---- Colour bar: browsing, empty, expanded for editing, at its limit of points ----
    void gallery_colourBar() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
        auto makeTable = [](TClientDataSet& table, const QString& colors) {
            table.SetFieldDefs({{"BodyColor", TFieldType::ftString, 250}});
            table.CreateDataSet();
            table.Append();
            table.FieldByName("BodyColor")->SetAsString(colors);
            table.Post();
        };
        QStringList twenty;
        for (int i = 0; i < TFRDBColorbar::MaxPoints; ++i)
            twenty << QString::number((i * 13 % 256) | ((255 - i * 12) << 8) | ((i * 9) << 16));
        TClientDataSet browsing(nullptr, "cdsBrowsing"), editing(nullptr, "cdsEditing"), full(nullptr, "cdsFull");
        makeTable(browsing, "33023|65535|16777215");
        makeTable(editing, "4227327|8454143|32768|16711680");
        makeTable(full, twenty.join('|'));
        TDataSource sBrowsing(nullptr, "dsBrowsing"), sEditing(nullptr, "dsEditing"), sFull(nullptr, "dsFull");
        sBrowsing.SetDataSet(&browsing);
        sEditing.SetDataSet(&editing);
        sFull.SetDataSet(&full);
        editing.Edit();
        full.Edit();

        QWidget window;
        window.setWindowTitle("Färgstapel");
        auto* grid = new QVBoxLayout(&window);
        auto addBar = [&](const QString& caption, TDataSource* source) {
            // Room for the expanded look, so that nothing moves when it opens.
            auto* holder = new QWidget;
            holder->setFixedSize(360, 30);
            auto* bar = new TFRDBColorbar(holder);
            bar->move(0, 2);
            bar->SetDataField("BodyColor");
            if (source) bar->SetDataSource(source);
            grid->addWidget(Cell(caption, holder));
            return bar;
        };
        addBar("TFRDBColorbar: orange, gul och vit", &sBrowsing);
        addBar("TFRDBColorbar utan färgpunkter", nullptr);
        TFRDBColorbar* open = addBar("TFRDBColorbar vid redigering (minus, plus och markörer)", &sEditing);
        TFRDBColorbar* limit = addBar("TFRDBColorbar med 20 färgpunkter (plus avstängt)", &sFull);
        grid->addStretch(1);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        limit->setFocus();
        QVERIFY(limit->Expanded());
        QVERIFY(!limit->PlusButton()->isEnabled());
        QImage image = window.grab().toImage();
        open->setFocus();
        QVERIFY(open->Expanded() && !limit->Expanded());
        QCOMPARE(open->size(), QSize(348, 26));
        {
            QPainter p(&image);
            QWidget* area = open->parentWidget();
            p.drawPixmap(area->mapTo(&window, QPoint(0, 0)), area->grab());
        }
        // The expanded look of the full bar was grabbed before it closed again.
        QVERIFY(image.save(testsupport::ArtefactDir() + "/controls_gallery_colorbar.png"));
        QCOMPARE(UIServices::MessageLog().size(), 0);
        UIServices::SetMessageHook({});
    }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
