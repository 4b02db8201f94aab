#include "content/species/pictures/unitFrameFungiPicDetails.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "content/species/pictures/FungiPicImages.h"
#include "content/contacts/unitContactScreen.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/pictures/unitFrameFungiPics.h"
#include "content/species/unitFungiSubLists.h"
#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/PendingFile.h"
#include "core/ProgramFolders.h"
#include "shell/RecordPicture.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/ShellServices.h"
#include "platform/UIServices.h"

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kRealSizeKey = QStringLiteral("FungiPicDetails/RealSize");
const QString kPersonal = QStringLiteral("PERSONAL");
const char* const kCorners[] = {"MainPicX1", "MainPicY1", "MainPicX2", "MainPicY2"};
constexpr int kHandle = 7;

TExtClientDataSet* Pics() { return UsersDM()->cdsFungiPics; }

bool IsEditing(const TClientDataSet* table) {
    return table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert;
}

QString Text(const char* field) {
    TExtClientDataSet* pics = Pics();
    return pics->Active() && (!pics->IsEmpty() || IsEditing(pics)) ? pics->FieldText(QLatin1String(field)) : QString();
}

void Lock(bool locked) {
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(!locked);
    if (FRFungiScreen) FRFungiScreen->SetBrowseEnabled(!locked);
}

// The hourglass for the length of a scope.
struct TBusy {
    TBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusy() { QApplication::restoreOverrideCursor(); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
};

TframeFungiPicDetails* DetailFrame() {
    return FRFungiScreen ? qobject_cast<TframeFungiPicDetails*>(FRFungiScreen->PicDetailScreen->Frame()) : nullptr;
}

}  // namespace

// ---- The detail sub-screen ----

TFRFungiPicDetailScreen::TFRFungiPicDetailScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, UsersDM()->cdsFungiPics, 1, QStringLiteral("Svampbild"), 0, QString()) {
    if (IsFrameCacheMode()) CreateFrame();
}

TFRFrameBase* TFRFungiPicDetailScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiPicDetails>(); }

bool TFRFungiPicDetailScreen::IsUndownloadedLink() const {
    TExtClientDataSet* pics = Pics();
    if (!pics->Active() || (pics->IsEmpty() && !IsEditing(pics))) return false;
    return pics->FieldByName(QStringLiteral("PicType"))->AsString() == QLatin1String("LINK") &&
        !pics->FieldByName(QStringLiteral("PicDownloaded"))->AsBoolean();
}

void TFRFungiPicDetailScreen::LoadPicture() {
    CreateFrame();
    auto* frame = qobject_cast<TframeFungiPicDetails*>(Frame());
    if (!frame) return;
    TBusy busy;
    using K = TframeFungiPicDetails::TPictureKind;
    if (IsUndownloadedLink()) {
        frame->SetPicture(fungipics::StockPicture(QStringLiteral("_WebPic_lrg.bmp")), K::Stock);
        return;
    }
    const QString key = GetUKey(Pics());
    const QString file = IsValidPathName(key) ? GetFungiPicFile(key) : QString();
    if (file.isEmpty() || !QFile::exists(file)) {
        frame->SetPicture(fungipics::StockPicture(QStringLiteral("_PicMissing.bmp")), K::Stock);
        return;
    }
    try {
        frame->SetPicture(fungipics::ReadPicture(file), K::Stored);
    } catch (const Exception&) {
        // Nothing of another picture may stay on show beside the message.
        frame->SetPicture(fungipics::StockPicture(QStringLiteral("_PicMissing.bmp")), K::Stock);
        throw;
    }
}

namespace {

// Shows the frame of the detail screen on its current record, locked until it is closed.
void Open(TFRFungiPicDetailScreen* screen, const std::function<void()>& loadPicture) {
    screen->Activate(QString());
    TframeFungiPicDetails* frame = DetailFrame();
    if (!frame) return;
    try {
        loadPicture();
    } catch (...) {
        frame->ResetMarker();
        frame->UpdateFrame();
        throw;
    }
    frame->ResetMarker();
    frame->UpdateFrame();
}

void BeginNew(TFRFungiPicDetailScreen* screen, const QImage& picture) {
    TExtClientDataSet* pics = Pics();
    TExtClientDataSet* fungi = UsersDM()->cdsFungi;
    if (!fungi->Active() || fungi->IsEmpty() || IsEditing(pics)) return;
    // A new picture goes after the species' other pictures.
    int index = 0;
    const int indexField = pics->FieldByName(QStringLiteral("PicIndex"))->Index();
    for (int row = 0; row < pics->RecordCount(); ++row)
        index = std::max(index, pics->RecordValue(row, indexField).toInt());
    Lock(true);
    try {
        pics->Append();
        const QString contact = GetCurrentUserContactUKey();
        pics->FieldByName(QStringLiteral("PicIndex"))->SetAsInteger(index + 1);
        pics->FieldByName(QStringLiteral("NoteTextLocked"))->SetAsBoolean(true);
        pics->FieldByName(QStringLiteral("PicDate"))->SetAsDate(QDate::currentDate());
        pics->FieldByName(QStringLiteral("PicType"))->SetAsString(kPersonal);
        pics->FieldByName(QStringLiteral("PicDownloaded"))->SetAsBoolean(false);
        pics->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(contact);
        pics->FieldByName(QStringLiteral("PicLocked"))->SetAsBoolean(false);
        // The user took the picture, unless the user says otherwise.
        if (!contact.isEmpty())
            pics->FieldByName(QStringLiteral("Photographer"))->SetAsString(TDMServices::RefPrefix + contact);
    } catch (...) {
        if (pics->State() == TDataSetState::dsInsert) pics->Cancel();
        Lock(false);
        throw;
    }
    Open(screen, [&] {
        if (TframeFungiPicDetails* frame = DetailFrame())
            frame->SetPicture(picture, TframeFungiPicDetails::TPictureKind::New);
    });
    if (TframeFungiPicDetails* frame = DetailFrame()) frame->searchPhotographer->Edit->setFocus();
}

}  // namespace

void TFRFungiPicDetailScreen::NewFromFile(const QString& fileName) {
    // A file that holds no readable picture changes nothing.
    QImage picture;
    {
        TBusy busy;
        picture = fungipics::ReadPicture(fileName);
    }
    BeginNew(this, picture);
}

void TFRFungiPicDetailScreen::NewFromClipboard() {
    const QImage picture = TRecordPicture::FromClipboard();
    if (picture.isNull()) throw Exception(QStringLiteral("Urklippet innehåller ingen bild."));
    BeginNew(this, picture.convertToFormat(QImage::Format_RGB32));
}

void TFRFungiPicDetailScreen::EditPicture() {
    TExtClientDataSet* pics = Pics();
    // Only the picture's creator changes it.
    if (!pics->Active() || pics->IsEmpty() || pics->State() != TDataSetState::dsBrowse ||
        GetCreatedBy(pics) != GetCurrentUserContactUKey())
        return;
    Lock(true);
    try {
        pics->Edit();
    } catch (...) {
        Lock(false);
        throw;
    }
    Open(this, [this] { LoadPicture(); });
}

void TFRFungiPicDetailScreen::ShowPicture() {
    TExtClientDataSet* pics = Pics();
    if (!pics->Active() || pics->IsEmpty()) return;
    Lock(true);
    Open(this, [this] { LoadPicture(); });
}

// ---- The picture view ----

TFungiPicView::TFungiPicView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgPicture"));
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    setPalette(palette);
}

QSize TFungiPicView::sizeHint() const { return m_realSize ? m_picture.size() : QSize(400, 300); }

void TFungiPicView::SetPicture(const QImage& picture) {
    m_picture = picture;
    m_shown = QPixmap();
    m_marker = fungipics::LargestCentredSquare(picture.size());
    if (m_realSize) resize(picture.size());
    update();
}

void TFungiPicView::SetRealSize(bool realSize) {
    if (realSize == m_realSize) return;
    m_realSize = realSize;
    m_shown = QPixmap();
    if (realSize) resize(m_picture.size());
    updateGeometry();
    update();
}

QRect TFungiPicView::ShownRect() const {
    if (m_realSize) return QRect(QPoint(0, 0), m_picture.size());
    return fungipics::FittedPictureRect(m_picture.size(), size());
}

void TFungiPicView::SetMarkerVisible(bool visible) {
    if (visible == m_markerVisible) return;
    m_markerVisible = visible;
    update();
}

void TFungiPicView::SetMarker(const QRect& marker) {
    m_marker = fungipics::MainPictureSquare(marker, m_picture.size());
    update();
}

QRect TFungiPicView::ToView(const QRect& picture) const {
    const QRect shown = ShownRect();
    if (m_picture.isNull() || shown.isEmpty()) return {};
    const double sx = double(shown.width()) / m_picture.width();
    const double sy = double(shown.height()) / m_picture.height();
    const int left = shown.left() + Round(picture.left() * sx);
    const int top = shown.top() + Round(picture.top() * sy);
    const int right = shown.left() + Round((picture.left() + picture.width()) * sx);
    const int bottom = shown.top() + Round((picture.top() + picture.height()) * sy);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QPoint TFungiPicView::ToPicture(const QPoint& viewDelta) const {
    const QRect shown = ShownRect();
    if (shown.isEmpty()) return {};
    // The picture's height over its shown height converts the view's pixels.
    const double factor = double(m_picture.height()) / shown.height();
    return QPoint(Round(viewDelta.x() * factor), Round(viewDelta.y() * factor));
}

QRect TFungiPicView::MarkerRect() const { return m_markerVisible ? ToView(m_marker) : QRect(); }

QRect TFungiPicView::HandleRect() const {
    const QRect marker = MarkerRect();
    if (marker.isEmpty()) return {};
    return QRect(marker.right() - kHandle + 1, marker.bottom() - kHandle + 1, kHandle, kHandle);
}

void TFungiPicView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_shown = QPixmap();
}

void TFungiPicView::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        const QRect shown = ShownRect();
        if (shown.isEmpty()) return;
        if (m_shown.size() != shown.size())
            m_shown = QPixmap::fromImage(
                shown.size() == m_picture.size()
                    ? m_picture
                    : m_picture.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        p.drawPixmap(shown.topLeft(), m_shown);
        if (!m_realSize) {
            // The border of the picture on its panel.
            p.setPen(QColor(0xC0, 0xC0, 0xC0));
            p.drawRect(shown.adjusted(-1, -1, 0, 0));
        }
        const QRect marker = MarkerRect();
        if (marker.isEmpty()) return;
        // Light and dark together stay visible on any picture.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, 3));
        p.drawRect(marker);
        p.setPen(QPen(Qt::yellow, 1));
        p.drawRect(marker);
        p.fillRect(HandleRect(), Qt::yellow);
        p.setPen(Qt::black);
        p.drawRect(HandleRect().adjusted(0, 0, -1, -1));
    });
}

void TFungiPicView::UpdateCursor(const QPoint& at) {
    if (HandleRect().contains(at))
        setCursor(Qt::SizeFDiagCursor);
    else if (MarkerRect().contains(at))
        setCursor(Qt::SizeAllCursor);
    else if (m_realSize)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void TFungiPicView::mousePressEvent(QMouseEvent* event) {
    Guarded([&] {
        if (event->button() != Qt::LeftButton) return;
        const QPoint at = event->position().toPoint();
        m_markerStart = m_marker;
        if (HandleRect().contains(at)) {
            m_drag = TDrag::Resize;
            m_dragStart = at;
        } else if (MarkerRect().contains(at)) {
            m_drag = TDrag::Move;
            m_dragStart = at;
        } else if (m_realSize) {
            // The view moves under the pointer while it scrolls: distances are taken on screen.
            m_drag = TDrag::Scroll;
            m_dragStart = event->globalPosition().toPoint();
            setCursor(Qt::ClosedHandCursor);
        }
    });
}

void TFungiPicView::mouseMoveEvent(QMouseEvent* event) {
    Guarded([&] {
        const QPoint at = event->position().toPoint();
        const QRect picture(QPoint(0, 0), m_picture.size());
        switch (m_drag) {
            case TDrag::None:
                UpdateCursor(at);
                break;
            case TDrag::Move:
                m_marker = fungipics::MoveMarker(m_markerStart, ToPicture(at - m_dragStart), picture);
                update();
                break;
            case TDrag::Resize:
                m_marker = fungipics::ResizeMarker(m_markerStart, ToPicture(at - m_dragStart), picture);
                update();
                break;
            case TDrag::Scroll: {
                const QPoint global = event->globalPosition().toPoint();
                if (OnDragScroll) OnDragScroll(m_dragStart - global);
                m_dragStart = global;
                break;
            }
        }
    });
}

void TFungiPicView::mouseReleaseEvent(QMouseEvent* event) {
    Guarded([&] {
        if (event->button() != Qt::LeftButton) return;
        m_drag = TDrag::None;
        UpdateCursor(event->position().toPoint());
    });
}

void TFungiPicView::mouseDoubleClickEvent(QMouseEvent* event) {
    Guarded([&] {
        if (event->button() == Qt::LeftButton && OnDoubleClick) OnDoubleClick();
    });
}

// ---- The detail frame ----

TframeFungiPicDetails::TframeFungiPicDetails(QWidget* parent) : TframeFungiDetailBase(parent) {
    TDataSource* source = UsersDM()->dsFungiPics;
    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(4, 2, 4, 2);
    sbtnPrev = FungiSubButton(this, QStringLiteral("<"), "sbtnPrev", QStringLiteral("Föregående bild"));
    sbtnNext = FungiSubButton(this, QStringLiteral(">"), "sbtnNext", QStringLiteral("Nästa bild"));
    sbtnClipboard =
        FungiSubButton(this, QStringLiteral("Urklipp"), "sbtnClipboard", QStringLiteral("Kopiera bilden till Urklipp"));
    sbtnRealSize = FungiSubButton(this, QStringLiteral("Skala 1:1"), "sbtnRealSize",
                                  QStringLiteral("Visa bilden i verklig storlek eller anpassad till fönstret"), true);
    sbtnMarker =
        FungiSubButton(this, QStringLiteral("Markera huvudbild"), "sbtnMarker",
                       QStringLiteral("Gör bilden till artens huvudbild och markera den kvadrat som ska visas"), true);
    btnClose = new QPushButton(QStringLiteral("Stäng"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QWidget* w :
         {static_cast<QWidget*>(sbtnPrev), static_cast<QWidget*>(sbtnNext), static_cast<QWidget*>(sbtnClipboard),
          static_cast<QWidget*>(sbtnRealSize), static_cast<QWidget*>(sbtnMarker)})
        tools->addWidget(w);
    tools->addStretch(1);
    tools->addWidget(btnClose);
    BodyLayout()->addLayout(tools);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(4, 0, 4, 4);
    scrollPicture = new QScrollArea(this);
    scrollPicture->setObjectName(QStringLiteral("scrollPicture"));
    scrollPicture->setFrameShape(QFrame::NoFrame);
    scrollPicture->setAlignment(Qt::AlignCenter);
    QPalette dark = scrollPicture->palette();
    dark.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    scrollPicture->setPalette(dark);
    scrollPicture->setBackgroundRole(QPalette::Window);
    imgPicture = new TFungiPicView;
    scrollPicture->setWidget(imgPicture);
    scrollPicture->setWidgetResizable(true);
    scrollPicture->setMinimumSize(200, 150);
    body->addWidget(scrollPicture, 1);

    // The data column: a row that is hidden takes no room, so the rows below move up.
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("panelData"));
    column->setFixedWidth(270);
    auto* rows = new QVBoxLayout(column);
    rows->setContentsMargins(6, 2, 0, 0);
    rows->setSpacing(4);
    auto addRow = [column, rows](const QString& caption, QLayout* fields, Qt::Alignment labelAlign = Qt::AlignVCenter) {
        auto* row = new QWidget(column);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto* label = new TFRLabel(caption, row);
        label->setFixedWidth(68);
        line->addWidget(label, 0, labelAlign);
        line->addLayout(fields, 1);
        rows->addWidget(row);
        return row;
    };
    auto lockLine = [column](TFRDBLock* lock, const QString& text) {
        auto* line = new QHBoxLayout;
        line->addWidget(lock);
        line->addWidget(new QLabel(text, column), 1);
        return line;
    };

    auto* photographer = new QHBoxLayout;
    editPhotographer = new QLineEdit(column);
    editPhotographer->setObjectName(QStringLiteral("editPhotographer"));
    editPhotographer->setReadOnly(true);
    searchPhotographer = new TFRSearchPanel(column);
    searchPhotographer->setObjectName(QStringLiteral("searchPhotographer"));
    searchPhotographer->PresentSelection = true;
    searchPhotographer->setToolTip(QStringLiteral("Sök fotografen bland kontakterna, eller skriv ett namn"));
    searchPhotographer->Edit->setMaxLength(40);
    photographer->addWidget(editPhotographer, 1);
    photographer->addWidget(searchPhotographer, 1);
    addRow(QStringLiteral("Fotograf:"), photographer);

    dblockPicLocked = BindField(new TFRDBLock(column), "dblockPicLocked", "PicLocked", source);
    addRow(QStringLiteral("Bildstatus:"), lockLine(dblockPicLocked, QStringLiteral("Hemlig bild AV/PÅ")));

    auto* date = new QHBoxLayout;
    editDate = new QLineEdit(column);
    editDate->setObjectName(QStringLiteral("editDate"));
    editDate->setPlaceholderText(QStringLiteral("ÅÅÅÅ-MM-DD"));
    editDate->setMaxLength(10);
    date->addWidget(editDate, 1);
    rowDate = addRow(QStringLiteral("Datum:"), date);

    auto* note = new QVBoxLayout;
    dbmemoNoteText = BindField(new TFRDBMemo(column), "dbmemoNoteText", "NoteText", source);
    dbmemoNoteText->setMinimumHeight(40);
    dbmemoNoteText->setMaximumHeight(90);
    dblockNoteText = BindField(new TFRDBLock(column), "dblockNoteText", "NoteTextLocked", source);
    note->addWidget(dbmemoNoteText);
    note->addLayout(lockLine(dblockNoteText, QStringLiteral("Hemlig notering AV/PÅ")));
    rowNote = addRow(QStringLiteral("Notering:"), note, Qt::AlignTop);

    auto* picSource = new QGridLayout;
    picSource->setContentsMargins(0, 0, 0, 0);
    dbeditPicSource = BindField(new TFRDBEdit(column), "dbeditPicSource", "PicSource", source);
    sbtnSource =
        FungiSubButton(column, QStringLiteral("Webbsida"), "sbtnSource", QStringLiteral("Öppna källans webbsida"));
    lblSourceText = new QLabel(column);
    lblSourceText->setObjectName(QStringLiteral("lblSourceText"));
    lblSourceText->setWordWrap(true);
    lblSourceText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    picSource->addWidget(dbeditPicSource, 0, 0);
    picSource->addWidget(sbtnSource, 0, 1);
    picSource->addWidget(lblSourceText, 1, 0, 1, 2);
    picSource->setColumnStretch(0, 1);
    rowSource = addRow(QStringLiteral("Källa:"), picSource, Qt::AlignTop);

    auto* sourceUrl = new QHBoxLayout;
    dbeditPicSourceURL = BindField(new TFRDBEdit(column), "dbeditPicSourceURL", "PicSourceURL", source);
    sourceUrl->addWidget(dbeditPicSourceURL, 1);
    rowSourceURL = addRow(QStringLiteral("Källa, URL:"), sourceUrl);

    auto* url = new QHBoxLayout;
    dbeditPicURL = BindField(new TFRDBEdit(column), "dbeditPicURL", "PicURL", source);
    url->addWidget(dbeditPicURL, 1);
    rowURL = addRow(QStringLiteral("URL:"), url);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnSave = new QPushButton(QStringLiteral("Spara"), column);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), column);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    rows->addLayout(buttons);
    rows->addStretch(1);

    auto* size = new QHBoxLayout;
    lblSize = new QLabel(column);
    lblSize->setObjectName(QStringLiteral("lblSize"));
    size->addWidget(lblSize, 1);
    rowSize = addRow(QStringLiteral("Storlek:"), size);

    body->addWidget(column);
    BodyLayout()->addLayout(body, 1);

    if (TformFRMain* main = MainForm()) searchPhotographer->SearchList = main->ContactNames;
    searchPhotographer->OnSearchPerformed = [](TFRSearchPanel*, const QString& key) {
        TExtClientDataSet* pics = Pics();
        if (key.isEmpty() || !IsEditing(pics)) return;
        pics->FieldByName(QStringLiteral("Photographer"))->SetAsString(TDMServices::RefPrefix + key);
    };
    imgPicture->OnDoubleClick = [this] { PictureDoubleClick(); };
    imgPicture->OnDragScroll = [this](const QPoint& delta) {
        scrollPicture->horizontalScrollBar()->setValue(scrollPicture->horizontalScrollBar()->value() + delta.x());
        scrollPicture->verticalScrollBar()->setValue(scrollPicture->verticalScrollBar()->value() + delta.y());
    };
    connect(sbtnPrev, &QToolButton::clicked, this, [this] { PrevNextClick(1); });
    connect(sbtnNext, &QToolButton::clicked, this, [this] { PrevNextClick(2); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(sbtnClipboard, &QToolButton::clicked, this, [this] { ClipboardClick(); });
    connect(sbtnRealSize, &QToolButton::toggled, this, [this](bool on) { RealSizeClick(on); });
    connect(sbtnMarker, &QToolButton::clicked, this, [this](bool on) { MarkerClick(on); });
    connect(sbtnSource, &QToolButton::clicked, this, [this] { SourceClick(); });
}

bool TframeFungiPicDetails::IsWebLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        !url.host().isEmpty();
}

void TframeFungiPicDetails::resizeEvent(QResizeEvent* event) {
    TframeFungiDetailBase::resizeEvent(event);
    SetFittedHeader(panelFrameHeader, panelFrameHeader->text());
}

QString TframeFungiPicDetails::HeaderText() const {
    return DetailHeaderText(Pics(), QStringLiteral("inmatning av ny bild"), QStringLiteral("editering av bild"),
                            QStringLiteral("bild %1 av %2"));
}

void TframeFungiPicDetails::SetPicture(const QImage& picture, TPictureKind kind) {
    m_kind = kind;
    imgPicture->SetPicture(picture);
    ApplyRealSize();
}

void TframeFungiPicDetails::ApplyRealSize() {
    // A stock picture stands in for one that is not there: it is only ever fitted.
    const bool real = m_realSize && m_kind != TPictureKind::Stock;
    if (real == imgPicture->RealSize() && scrollPicture->widgetResizable() == !real) return;
    if (real) {
        scrollPicture->setWidgetResizable(false);
        imgPicture->SetRealSize(true);
        imgPicture->resize(imgPicture->Picture().size());
        // The middle of the picture in view.
        scrollPicture->horizontalScrollBar()->setValue(scrollPicture->horizontalScrollBar()->maximum() / 2);
        scrollPicture->verticalScrollBar()->setValue(scrollPicture->verticalScrollBar()->maximum() / 2);
    } else {
        imgPicture->SetRealSize(false);
        scrollPicture->setWidgetResizable(true);
    }
}

void TframeFungiPicDetails::ResetMarker() {
    const QSize size = imgPicture->Picture().size();
    QRect stored;
    TExtClientDataSet* pics = Pics();
    // A picture that already gives the main picture shows its own square; saving it unmoved
    // then leaves the main picture as it is.
    if (pics->Active() && (!pics->IsEmpty() || IsEditing(pics))) {
        int v[4];
        for (int i = 0; i < 4; ++i) v[i] = pics->FieldByName(QLatin1String(kCorners[i]))->AsInteger();
        stored = QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    }
    imgPicture->SetMarker(fungipics::MainPictureSquare(stored, size));
}

void TframeFungiPicDetails::LoadSettings() {
    TframeFungiDetailBase::LoadSettings();
    if (TFRIniFile* settings = UsersSettings()) m_realSize = settings->ReadBool(kRealSizeKey);
    const QSignalBlocker block(sbtnRealSize);
    sbtnRealSize->setChecked(m_realSize);
    ApplyRealSize();
}

void TframeFungiPicDetails::SaveSettings() {
    TframeFungiDetailBase::SaveSettings();
    if (TFRIniFile* settings = UsersSettings()) settings->WriteBool(kRealSizeKey, m_realSize);
}

void TframeFungiPicDetails::UpdateFrame() {
    TframeFungiDetailBase::UpdateFrame();
    TExtClientDataSet* pics = Pics();
    SetFittedHeader(panelFrameHeader, QStringLiteral("   ") + HeaderText());
    const bool editing = IsEditing(pics);
    const bool personal = Text("PicType") == kPersonal;

    // The photographer: a name while browsing, the search over the contacts while editing.
    const QString photographer = Text("Photographer");
    editPhotographer->setVisible(!editing);
    searchPhotographer->setVisible(editing);
    if (!editing) {
        m_photographerFilled.clear();
        editPhotographer->setText(TFRContactScreen::GetRefText(photographer));
    } else if (m_photographerFilled != GetUKey(pics)) {
        m_photographerFilled = GetUKey(pics);
        searchPhotographer->Edit->setText(TFRContactScreen::GetRefText(photographer));
    }

    rowDate->setVisible(personal);
    editDate->setReadOnly(!editing);
    if (!(editing && editDate->isModified()))
        editDate->setText(pics->Active() && (!pics->IsEmpty() || editing)
                              ? pics->FieldByName(QStringLiteral("PicDate"))->AsDate().toString(kDateFormat)
                              : QString());
    rowNote->setVisible(editing || !Text("NoteText").isEmpty());
    rowSource->setVisible(!personal);
    const QString sourceUrl = Text("PicSourceURL").trimmed();
    const bool web = IsWebLink(sourceUrl);
    sbtnSource->setVisible(web);
    sbtnSource->setToolTip(web ? sourceUrl : QString());
    // Anything else than a web address is only shown.
    lblSourceText->setVisible(!editing && !sourceUrl.isEmpty() && !web);
    lblSourceText->setText(sourceUrl);
    rowSourceURL->setVisible(editing);
    rowURL->setVisible(editing);

    const QImage picture = imgPicture->Picture();
    rowSize->setVisible(m_kind != TPictureKind::Stock && !picture.isNull());
    lblSize->setText(QStringLiteral("%1 x %2 bildpunkter").arg(picture.width()).arg(picture.height()));
    {
        const QSignalBlocker block(sbtnMarker);
        sbtnMarker->setChecked(pics->Active() && (!pics->IsEmpty() || editing) &&
                               pics->FieldByName(QStringLiteral("MainPicSource"))->AsBoolean());
    }
    UpdateButtons();
}

void TframeFungiPicDetails::UpdateButtons() {
    TExtClientDataSet* pics = Pics();
    const bool editing = IsEditing(pics);
    const bool real = m_kind != TPictureKind::Stock;
    btnSave->setVisible(editing);
    btnCancel->setVisible(editing);
    btnClose->setVisible(!editing);
    sbtnPrev->setEnabled(!editing && pics->RecNo() > 1);
    sbtnNext->setEnabled(!editing && pics->RecNo() < pics->RecordCount());
    sbtnRealSize->setEnabled(real);
    sbtnClipboard->setEnabled(!imgPicture->Picture().isNull());
    // The main picture is marked while the picture is entered or changed.
    sbtnMarker->setVisible(editing && real);
    imgPicture->SetMarkerVisible(!sbtnMarker->isHidden() && sbtnMarker->isChecked());
}

void TframeFungiPicDetails::PrevNextClick(int tag) {
    TExtClientDataSet* pics = Pics();
    if (IsEditing(pics)) return;
    if (tag == 1)
        pics->Prior();
    else
        pics->Next();
    try {
        if (FRFungiScreen) FRFungiScreen->PicDetailScreen->LoadPicture();
    } catch (...) {
        ResetMarker();
        UpdateFrame();
        throw;
    }
    ResetMarker();
    UpdateFrame();
}

void TframeFungiPicDetails::ClipboardClick() {
    const QImage picture = imgPicture->Picture();
    if (picture.isNull()) return;
    TBusy busy;
    QGuiApplication::clipboard()->setImage(picture);
}

void TframeFungiPicDetails::RealSizeClick(bool realSize) {
    m_realSize = realSize;
    // Kept at once: the frame goes with its sub-screen.
    SaveSettings();
    ApplyRealSize();
}

void TframeFungiPicDetails::MarkerClick(bool pressed) {
    TExtClientDataSet* pics = Pics();
    if (!IsEditing(pics)) return;
    pics->FieldByName(QStringLiteral("MainPicSource"))->SetAsBoolean(pressed);
    UpdateButtons();
}

void TframeFungiPicDetails::SourceClick() {
    const QString text = Text("PicSourceURL").trimmed();
    // Only web addresses are handed on; a file or program never is.
    if (IsWebLink(text)) ShellServices::OpenUrl(QUrl(text, QUrl::StrictMode));
}

void TframeFungiPicDetails::PictureDoubleClick() {
    TExtClientDataSet* pics = Pics();
    if (!FRFungiScreen || IsEditing(pics) || !FRFungiScreen->PicDetailScreen->IsUndownloadedLink()) return;
    FRFungiScreen->PicScreen->DownloadWebPicture();
    if (pics->FieldByName(QStringLiteral("MainPicSource"))->AsBoolean() &&
        !FRFungiScreen->Fungi()->FieldByName(QStringLiteral("HasPic"))->AsBoolean())
        FRFungiScreen->PicScreen->MakeMainPicture();
    FRFungiScreen->PicDetailScreen->ShowPicture();
}

void TframeFungiPicDetails::btnSaveClick() {
    TExtClientDataSet* pics = Pics();
    if (!IsEditing(pics) || !FRFungiScreen) return;
    const bool personal = pics->FieldByName(QStringLiteral("PicType"))->AsString() == kPersonal;
    const QString dateText = editDate->text().trimmed();
    const QDate date = QDate::fromString(dateText, kDateFormat);
    if (personal && !dateText.isEmpty() && !date.isValid()) {
        UIServices::ShowError(QStringLiteral("Ogiltigt datum"), QStringLiteral("Mykotekshallen - Fel"));
        editDate->setFocus();
        return;
    }
    bool makeMain = false;
    {
        TBusy busy;
        const bool pressed = sbtnMarker->isChecked();
        pics->FieldByName(QStringLiteral("MainPicSource"))->SetAsBoolean(pressed);
        // A contact chosen and then typed over gives way to the typed name.
        TField* photographer = pics->FieldByName(QStringLiteral("Photographer"));
        const QString typed = searchPhotographer->Edit->text().trimmed();
        if (!photographer->AsString().startsWith(TDMServices::RefPrefix) ||
            TFRContactScreen::GetRefText(photographer->AsString()) != typed)
            photographer->SetAsString(typed);
        if (personal) {
            if (date.isValid())
                pics->FieldByName(QStringLiteral("PicDate"))->SetAsDate(date);
            else
                pics->FieldByName(QStringLiteral("PicDate"))->Clear();
        }
        bool markerChanged = false;
        if (imgPicture->MarkerVisible()) {
            const QRect m = imgPicture->Marker();
            const int v[4] = {m.left(), m.top(), m.left() + m.width(), m.top() + m.height()};
            for (int i = 0; i < 4; ++i) {
                TField* corner = pics->FieldByName(QLatin1String(kCorners[i]));
                if (corner->IsNull() || corner->AsInteger() != v[i]) markerChanged = true;
                corner->SetAsInteger(v[i]);
            }
        }
        // The files wait beside the old ones until the record is posted, and record, files,
        // the species' picture count and main picture land together (one save unit). The
        // picture is written only when its pixels are new: a changed note never encodes it
        // again.
        const QString key = GetUKey(pics);
        const QImage picture = imgPicture->Picture();
        const TPictureKind kind = m_kind;
        TSaveUnit unit(FRFungiScreen->DataModule());
        TPendingFile pictureFile;
        TPendingFile thumbnailFile;
        if (kind == TPictureKind::New) pictureFile.Write(GetFungiPicFile(key), fungipics::JpegBytes(picture));
        if (kind == TPictureKind::New || (kind == TPictureKind::Stored && !QFile::exists(GetFungiPicThumbFile(key))))
            thumbnailFile.Write(GetFungiPicThumbFile(key), fungipics::BmpBytes(fungipics::Thumbnail(picture)));
        pics->Post();
        pictureFile.Commit();
        thumbnailFile.Commit();
        makeMain = (kind == TPictureKind::New || kind == TPictureKind::Stored) &&
            (markerChanged || (pressed && !pics->FieldByName(QStringLiteral("IsMainPic"))->AsBoolean()));
        if (makeMain) FRFungiScreen->PicScreen->MakeMainPicture();
        unit.Commit();
        if (m_kind == TPictureKind::New) m_kind = TPictureKind::Stored;
    }
    Unlock();
}

void TframeFungiPicDetails::btnCancelClick() {
    if (IsEditing(Pics())) Pics()->Cancel();
    Unlock();
}

void TframeFungiPicDetails::btnCloseClick() {
    if (IsEditing(Pics())) return;
    Unlock();
}

void TframeFungiPicDetails::Unlock() {
    editDate->setModified(false);
    m_photographerFilled.clear();
    Lock(false);
    if (!FRFungiScreen || !FRFungiScreen->FungiFrame()) return;
    FRFungiScreen->FungiFrame()->ShowSubScreen(4);
    if (auto* grid = qobject_cast<TframeFungiPics*>(FRFungiScreen->PicScreen->Frame())) grid->CheckCurrent();
}

#include "moc_unitFrameFungiPicDetails.cpp"
