#include "shell/FRScreens.h"

#include "core/ExtClientDataSet.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QVBoxLayout>

#include "shell/FRHistory.h"
#include "platform/ClientDataSet.h"
#include "platform/Clock.h"
#include "platform/Exception.h"

namespace {
TFRScreenHost* g_host = nullptr;
QPointer<TFRMainScreen> g_subScreenHost;

// A widget's own enabled flag, whatever its parents are.
bool OwnEnabled(const QWidget* w) { return w && !w->testAttribute(Qt::WA_ForceDisabled); }

bool HasWord(const QString& params, const char* word) { return params.contains(QLatin1String(word)); }

const QString kNoInterface = QStringLiteral("Gränssnitt för Screen-komponent ej definierat");
}  // namespace

// ---- TFRScreenHost ----------------------------------------------------------------------

TFRScreenHost::TFRScreenHost()
    : m_destruction(std::make_unique<TDestructionFrames>()), m_history(std::make_unique<TFRHistoryItems>(this)) {
    g_host = this;
}

TFRScreenHost::~TFRScreenHost() {
    if (g_host == this) g_host = nullptr;
    // Items go first: they refer to screens, not the other way round.
    m_history.reset();
    m_destruction.reset();
}

TFRScreenHost* ScreenHost() { return g_host; }
TFRHistoryItems* History() { return g_host ? g_host->History() : nullptr; }

void TFRScreenHost::AddMenuButton(TFRMainMenuButton* button, int& screenID) {
    QWidget* panel = MenuMainPanel();
    if (!button || !panel) return;
    screenID = int(panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
    button->setParent(panel);
    button->move(8, m_menuTop);
    m_menuTop += button->height() + 2;
    panel->setFixedHeight(m_menuTop);
    if (!m_menuGroup) {
        m_menuGroup = new QButtonGroup(panel);
        m_menuGroup->setExclusive(true);
    }
    m_menuGroup->addButton(button);
    button->show();
}

void TFRScreenHost::HideCurrentScreen() {
    if (TFRMainScreen* screen = m_currentScreen) {
        screen->Deactivate();
        m_currentScreen = nullptr;
    }
}

const char* const NavigationLockedText = "Spara eller avbryt först det Du håller på att ändra.";

void TFRScreenHost::SetNavigationEnabled(bool enabled) {
    // A locked button says why it does not answer; its own tip comes back with it.
    const QString why = QString::fromUtf8(NavigationLockedText);
    for (QWidget* panel : {MenuMainPanel(), MenuLowerPanel()}) {
        if (!panel) continue;
        for (QAbstractButton* b : panel->findChildren<QAbstractButton*>()) {
            if (!enabled && b->isEnabled()) {
                b->setProperty("unlockedToolTip", b->toolTip());
                b->setToolTip(why);
            } else if (enabled && !b->isEnabled() && b->property("unlockedToolTip").isValid()) {
                b->setToolTip(b->property("unlockedToolTip").toString());
                b->setProperty("unlockedToolTip", QVariant());
            }
            b->setEnabled(enabled);
        }
    }
    UpdateHistoryButtons();
}

bool TFRScreenHost::NavigationEnabled() const { return OwnEnabled(QuitButton()); }

void TFRScreenHost::UpdateHistoryButtons() {
    const bool free = NavigationEnabled();
    const TFRHistoryItems* h = m_history.get();
    if (QAbstractButton* back = BackButton()) {
        const bool on = free && h && h->CanBack();
        back->setEnabled(on);
        back->setToolTip(on         ? h->GetItem(h->Current() - 1)->Title
                             : free ? QString()
                                    : QString::fromUtf8(NavigationLockedText));
    }
    if (QAbstractButton* forward = ForwardButton()) {
        const bool on = free && h && h->CanForward();
        forward->setEnabled(on);
        forward->setToolTip(on         ? h->GetItem(h->Current() + 1)->Title
                                : free ? QString()
                                       : QString::fromUtf8(NavigationLockedText));
    }
}

// ---- TDestructionFrames -----------------------------------------------------------------

TDestructionFrames::TDestructionFrames(QObject* parent) : QObject(parent) {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, [this] { TimerTick(); });
}

TDestructionFrames::~TDestructionFrames() {
    m_timer.stop();
    const QList<TDestructionObject> left = std::exchange(m_entries, {});
    for (const TDestructionObject& e : left) {
        delete e.Ticket.data();
        TFRFrameBase::Free(e.Target.data());
    }
}

void TDestructionFrames::DestroyLater(QObject* object, int delayMs) {
    if (!object) return;
    for (const TDestructionObject& e : m_entries)
        if (e.Target == object) return;
    TDestructionObject entry;
    entry.Target = object;
    entry.Due = Clock::TickCount() + quint64(qMax(0, delayMs));
    // A deferred delete only happens once the posting event has returned to its loop (a
    // nested loop inside that event does not count), which is exactly when it is safe.
    entry.Ticket = new QObject;
    entry.Ticket->deleteLater();
    m_entries.append(entry);
    m_timer.start();
}

void TDestructionFrames::TimerTick() {
    if (m_entries.isEmpty()) {
        m_timer.stop();
        return;
    }
    m_timer.stop();
    const quint64 now = Clock::TickCount();
    QList<QObject*> due;
    for (int i = 0; i < m_entries.size();) {
        const TDestructionObject& e = m_entries[i];
        if (!e.Target) {
            delete e.Ticket.data();
            m_entries.removeAt(i);
        } else if (e.Due < now && !e.Ticket) {
            due.append(e.Target.data());
            m_entries.removeAt(i);
        } else {
            ++i;
        }
    }
    // Freed after the walk: a frame's DoneFrame may queue more.
    for (QObject* o : due) TFRFrameBase::Free(o);
    if (!m_entries.isEmpty()) m_timer.start();
}

void DestroyObjectLater(QObject* object, int delayMs) {
    if (!object) return;
    if (g_host && g_host->DestructionFrames())
        g_host->DestructionFrames()->DestroyLater(object, delayMs);
    else
        object->deleteLater();
}

// ---- TFRScreen --------------------------------------------------------------------------

TFRScreen::TFRScreen(QObject* owner) : QObject(owner) {}

TFRScreen::~TFRScreen() {
    if (m_frame) TFRFrameBase::Free(std::exchange(m_frame, nullptr).data());
}

TFRFrameBase* TFRScreen::Frame() const { return m_frame.data(); }

void TFRScreen::SetFrame(TFRFrameBase* frame) {
    if (m_frame == frame) return;
    m_frame = frame;
    if (frame) {
        frame->Screen = qobject_cast<TFRDBScreen*>(this);
        frame->DataSet = m_dataSet;
    }
}

// ---- TFRDBScreen ------------------------------------------------------------------------

TFRDBScreen::TFRDBScreen(QObject* owner) : TFRScreen(owner) {}

void TFRDBScreen::ReleaseFrame() {
    if (!IsFrameCacheMode()) DestroyFrameLater(FrameRef(), 0);
}

void TFRDBScreen::First() {
    if (DataSet() && DataSet()->Active()) DataSet()->First();
}
void TFRDBScreen::Last() {
    if (DataSet() && DataSet()->Active()) DataSet()->Last();
}
void TFRDBScreen::Next() {
    if (DataSet() && DataSet()->Active()) DataSet()->Next();
}
void TFRDBScreen::Prior() {
    if (DataSet() && DataSet()->Active()) DataSet()->Prior();
}

bool TFRDBScreen::MayUpdateFrame() const {
    if (DataSet() && DataSet()->ControlsDisabled()) return false;
    return !Locked && Frame() && !Frame()->isHidden();
}

void TFRDBScreen::UpdateFrame() {
    if (MayUpdateFrame()) Frame()->UpdateFrame();
}

void TFRDBScreen::AfterExport() {
    if (MayUpdateFrame()) Frame()->AfterExport();
}

// ---- TFRMainMenuButton ------------------------------------------------------------------

TFRMainMenuButton::TFRMainMenuButton(QWidget* parent) : QToolButton(parent) {
    setFixedSize(153, 30);
    QFont f(QStringLiteral("Arial"));
    f.setWeight(QFont::Black);
    setFont(f);
    setAutoRaise(true);
    setCheckable(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(24, 24));
    setContentsMargins(1, 1, 1, 1);
}

void TFRMainMenuButton::SetGlyphs(const QPixmap& normal, const QPixmap& disabled) {
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(disabled, QIcon::Disabled);
    setIcon(icon);
}

// ---- TFRMainScreen ----------------------------------------------------------------------

TFRMainScreen::TFRMainScreen(QObject* owner) : TFRDBScreen(owner), m_menuButton(new TFRMainMenuButton) {
    connect(m_menuButton, &QAbstractButton::clicked, this, [this] { Navigate(); });
}

TFRMainScreen::~TFRMainScreen() {
    // Still ours only while it never reached the menu panel.
    if (m_menuButton && !m_menuButton->parent()) delete m_menuButton.data();
}

void TFRMainScreen::Initialize() {
    if (TFRScreenHost* host = ScreenHost()) host->AddMenuButton(m_menuButton, ScreenID);
    TFRDBScreen::Initialize();
}

void TFRMainScreen::Deactivate() {
    if (TFRFrameBase* frame = Frame()) {
        frame->SaveSettings();
        frame->hide();
        frame->TakeOut();
        ReleaseFrame();
    }
}

void TFRMainScreen::Activate(const QString& params) {
    TFRScreenHost* host = ScreenHost();
    if (!host) throw Exception(kNoInterface);
    if (host->CurrentScreen() != this) {
        host->HideCurrentScreen();
        CreateFrame();
        TFRFrameBase* frame = Frame();
        if (!frame) throw Exception(kNoInterface);
        // A table that could not be read is told here, where its records would show.
        frame->ShowTableFailures(TableFailures());
        frame->PlaceInto(host->ScreenHolder());
        if (!HasWord(params, ScreenParams::StartInvisible)) frame->show();
        if (!HasWord(params, ScreenParams::NoLoadSettings)) frame->LoadSettings();
        if (m_menuButton) m_menuButton->setChecked(true);
        host->SetCurrentScreen(this);
    }
    if (!HasWord(params, ScreenParams::NoUpdate)) UpdateFrame();
    if (HasWord(params, ScreenParams::AfterExport)) AfterExport();
}

void TFRMainScreen::Navigate() {
    if (TFRHistoryItems* h = History()) h->DeleteFrom(h->Current());
    Activate(QString());
}

QList<TClientDataSet*> TFRScreen::ScreenTables() const {
    if (!m_dataSet) return {};
    return {m_dataSet};
}

QStringList TFRScreen::TableFailures() const {
    QList<TClientDataSet*> tables = ScreenTables();
    // The detail tables of these, from the tables' owner (the data module).
    QObject* owner = tables.isEmpty() || !tables.first() ? nullptr : tables.first()->parent();
    const QList<TExtClientDataSet*> all =
        owner ? owner->findChildren<TExtClientDataSet*>(Qt::FindDirectChildrenOnly) : QList<TExtClientDataSet*>();
    for (qsizetype i = 0; i < tables.size(); ++i)
        for (TExtClientDataSet* table : all) {
            TDataSource* master = table->MasterSource();
            if (master && master->DataSet() == tables[i] && !tables.contains(table)) tables.append(table);
        }
    QStringList texts;
    for (TClientDataSet* table : std::as_const(tables))
        if (auto* ext = qobject_cast<TExtClientDataSet*>(table); ext && !ext->LoadFailure.isEmpty())
            texts.append(ext->LoadFailure);
    return texts;
}

void TFRFrameBase::ShowTableFailures(const QStringList& texts) {
    lblTableFailure->setText(texts.join(QLatin1Char('\n')));
    lblTableFailure->setVisible(!texts.isEmpty());
}

// ---- TFRFungiSubScreen ------------------------------------------------------------------

TFRFungiSubScreen::TFRFungiSubScreen(QObject* owner) : TFRDBScreen(owner) {}

void TFRFungiSubScreen::SetHostScreen(TFRMainScreen* screen) { g_subScreenHost = screen; }

TFRMainScreen* TFRFungiSubScreen::HostScreen() { return g_subScreenHost.data(); }

TFRSubScreenHost* TFRFungiSubScreen::HostFrame() {
    TFRMainScreen* screen = HostScreen();
    return screen ? dynamic_cast<TFRSubScreenHost*>(screen->Frame()) : nullptr;
}

void TFRFungiSubScreen::SetSubMode(quint8 mode) {
    if (mode == m_subMode) return;
    m_subMode = mode;
    if (TFRSubScreenHost* host = HostFrame(); host && host->CurrentSubScreen() == this) Activate(QString());
}

void TFRFungiSubScreen::Activate(const QString& params) {
    if (!HostFrame() && HostScreen()) HostScreen()->Activate(QString());
    TFRSubScreenHost* host = HostFrame();
    if (!host) throw Exception(kNoInterface);
    CreateFrame();
    TFRFrameBase* frame = Frame();
    if (!frame) throw Exception(kNoInterface);
    if (host->CurrentSubScreen() != this) host->HideCurrentSubScreen();
    if (m_subMode == 0) {
        HostScreen()->Frame()->UpdateFrame();
        frame->PlaceInto(host->SubScreenArea());
    } else {
        frame->PlaceInto(host->ShowExternalFramePage());
    }
    if (!HasWord(params, ScreenParams::NoLoadSettings)) frame->LoadSettings();
    frame->show();
    host->SetCurrentSubScreen(this);
    UpdateFrame();
}

void TFRFungiSubScreen::Deactivate() {
    if (TFRFrameBase* frame = Frame()) {
        frame->hide();
        frame->TakeOut();
        ReleaseFrame();
    }
}

// ---- TFRFrameBase -----------------------------------------------------------------------

TFRFrameBase::TFRFrameBase(QWidget* parent) : QFrame(parent) {
    hide();
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panelFrameHeader = new QLabel(this);
    panelFrameHeader->setObjectName(QStringLiteral("panelFrameHeader"));
    panelFrameHeader->setFixedHeight(25);
    panelFrameHeader->setAutoFillBackground(true);
    QPalette pal = panelFrameHeader->palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x00));
    pal.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    panelFrameHeader->setPalette(pal);
    QFont hf(QStringLiteral("Arial"));
    hf.setPixelSize(19);
    panelFrameHeader->setFont(hf);
    panelFrameHeader->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panelFrameHeader->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(panelFrameHeader);

    lblTableFailure = new QLabel(this);
    lblTableFailure->setObjectName(QStringLiteral("lblTableFailure"));
    lblTableFailure->setWordWrap(true);
    lblTableFailure->setAutoFillBackground(true);
    lblTableFailure->setContentsMargins(6, 4, 6, 4);
    lblTableFailure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    {
        QPalette warn = lblTableFailure->palette();
        warn.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xCE));
        warn.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
        lblTableFailure->setPalette(warn);
    }
    lblTableFailure->hide();
    layout->addWidget(lblTableFailure);

    m_body = new QVBoxLayout;
    m_body->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_body, 1);
}

TFRFrameBase::~TFRFrameBase() {
    if (QWidget* p = parentWidget()) p->removeEventFilter(this);
}

void TFRFrameBase::UpdateFrame() { UpdateButtons(); }

void TFRFrameBase::AfterExport() { UpdateFrame(); }

void TFRFrameBase::UpdateScreen() {
    if (Screen) Screen->UpdateFrame();
}

void TFRFrameBase::PlaceInto(QWidget* parent) {
    if (!parent || parentWidget() == parent) return;
    TakeOut();
    setParent(parent);
    if (QLayout* l = parent->layout()) {
        l->addWidget(this);
    } else {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }
}

void TFRFrameBase::TakeOut() {
    QWidget* p = parentWidget();
    if (!p) return;
    p->removeEventFilter(this);
    if (QLayout* l = p->layout()) l->removeWidget(this);
    setParent(nullptr);
}

bool TFRFrameBase::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parentWidget() && e->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QFrame::eventFilter(watched, e);
}

void TFRFrameBase::RunDoneFrame() {
    if (m_done) return;
    m_done = true;
    DoneFrame();
}

bool TFRFrameBase::event(QEvent* e) {
    if (e->type() == QEvent::DeferredDelete) RunDoneFrame();
    return QFrame::event(e);
}

void TFRFrameBase::Free(QObject* object) {
    if (!object) return;
    if (auto* frame = qobject_cast<TFRFrameBase*>(object)) frame->RunDoneFrame();
    delete object;
}

#include "moc_FRScreens.cpp"
