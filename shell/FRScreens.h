#pragma once
// The screen framework. The main window shows one function area at a time in its screen
// holder. A function area is a screen, a long-lived object that owns a main-menu button
// and knows its table, and a content frame, a short-lived panel that the screen creates
// when it is activated and releases when it is left.
//
// What the screens need of the main window is the small interface TFRScreenHost below: the
// main window derives from it and gives six of its widgets; everything else (menu buttons,
// the current screen, the navigation lock, the history buttons, the close query, the
// history list and the list of frames waiting to be freed) is carried by TFRScreenHost.
//
// Screens and frames are built in two steps, so that their set-up hooks run on the finished
// object: make them with TFRScreen::Create<T>(...) and TFRFrameBase::Create<F>(...).
#include <QFrame>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <utility>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QVBoxLayout;
class TClientDataSet;
class TFRDBScreen;
class TFRFrameBase;
class TFRHistoryItem;
class TFRHistoryItems;
class TFRMainMenuButton;
class TFRMainScreen;
class TDestructionFrames;

// The words of an activation's parameter list (joined by ";").
namespace ScreenParams {
inline constexpr const char* StartInvisible = "STARTINVISIBLE";  // leave a new frame invisible
inline constexpr const char* NoLoadSettings = "NOLOADSETTINGS";  // a new frame does not load settings
inline constexpr const char* NoUpdate = "NOUPDATE";  // do not update the frame
inline constexpr const char* AfterExport = "AFTEREXPORT";  // tell the frame an export has run
}  // namespace ScreenParams

// The program-wide frame-keeping mode: 0 releases a frame when its screen is left, 2 would
// keep it. The program releases.
inline constexpr int FrameCacheMode = 0;
inline bool IsFrameCacheMode() { return FrameCacheMode == 2; }

// ---------------------------------------------------------------------------------------
// What the screen framework needs of the main window.
//
// The main window derives from this class and implements the six widget accessors. It
// becomes the one host when constructed (ScreenHost()) and stops being it when destroyed.
// It wires sbtnBack to History()->Back(), sbtnForward to History()->Forward(), and answers
// its close query with CanCloseMainWindow().
// Why the menu does not answer while a record is being edited.
extern const char* const NavigationLockedText;

class TFRScreenHost {
public:
    TFRScreenHost();
    virtual ~TFRScreenHost();
    TFRScreenHost(const TFRScreenHost&) = delete;
    TFRScreenHost& operator=(const TFRScreenHost&) = delete;

    // ---- Implemented by the main window ----
    virtual QWidget* ScreenHolder() const = 0;  // panelScreenHolder: the content area
    virtual QWidget* MenuMainPanel() const = 0;  // panelMenuMain: the main-menu buttons
    virtual QWidget* MenuLowerPanel() const = 0;  // panelMenuLower: quit and the other lower buttons
    virtual QAbstractButton* BackButton() const = 0;  // sbtnBack
    virtual QAbstractButton* ForwardButton() const = 0;  // sbtnForward
    virtual QAbstractButton* QuitButton() const = 0;  // sbtnQuit

    // ---- Carried here ----
    // The active main screen, or nullptr.
    TFRMainScreen* CurrentScreen() const { return m_currentScreen; }
    void SetCurrentScreen(TFRMainScreen* screen) { m_currentScreen = screen; }
    // Puts a main-menu button below the ones before it and gives its screen number (the
    // number of controls already on the menu panel). The buttons are 2 pixels apart.
    void AddMenuButton(TFRMainMenuButton* button, int& screenID);
    // Deactivates the current screen, if any, and clears CurrentScreen.
    void HideCurrentScreen();
    // Locks (false) or unlocks (true) navigation: every button on the menu panels, then the
    // back and forward buttons, which are enabled only while quit is enabled.
    // Disabled menu buttons carry NavigationLockedText as their tip, saying why.
    void SetNavigationEnabled(bool enabled);
    // Whether navigation is unlocked (quit is enabled).
    bool NavigationEnabled() const;
    // The main window's close query: closing is allowed exactly while navigation is unlocked.
    bool CanCloseMainWindow() const { return NavigationEnabled(); }
    // Sets the back and forward buttons' states and hints from the history.
    void UpdateHistoryButtons();

    TFRHistoryItems* History() const { return m_history.get(); }
    TDestructionFrames* DestructionFrames() const { return m_destruction.get(); }

private:
    std::unique_ptr<TDestructionFrames> m_destruction;
    std::unique_ptr<TFRHistoryItems> m_history;
    QPointer<TFRMainScreen> m_currentScreen;
    QPointer<QButtonGroup> m_menuGroup;
    int m_menuTop = 0;
};

// The one host (the main window), or nullptr before it exists.
TFRScreenHost* ScreenHost();
// The one history list, or nullptr without a host.
TFRHistoryItems* History();

// ---------------------------------------------------------------------------------------
// The list of objects to free once the event that dropped them has returned.
class TDestructionFrames : public QObject {
    Q_OBJECT
public:
    explicit TDestructionFrames(QObject* parent = nullptr);
    ~TDestructionFrames() override;  // frees what is still waiting

    // Frees the object no earlier than DelayMs from now and never before the event that
    // handed it over has returned to its message loop, so a frame dropped during one of its
    // own events (even one that runs a modal box) stays valid until that event is over.
    void DestroyLater(QObject* object, int delayMs);
    int Count() const { return int(m_entries.size()); }

private:
    void TimerTick();

    struct TDestructionObject {
        QPointer<QObject> Target;
        quint64 Due = 0;
        // Gone once the event that queued the entry has returned.
        QPointer<QObject> Ticket;
    };
    QList<TDestructionObject> m_entries;
    QTimer m_timer;
};

// Hands an object over to the one destruction list: the variable is cleared at once, the
// object is freed later. Without a host the object is freed after the present event.
void DestroyObjectLater(QObject* object, int delayMs);
template <class T>
void DestroyFrameLater(QPointer<T>& target, int delayMs) {
    QObject* object = target.data();
    target = nullptr;
    DestroyObjectLater(object, delayMs);
}
template <class T>
void DestroyFrameLater(T*& target, int delayMs) {
    QObject* object = target;
    target = nullptr;
    DestroyObjectLater(object, delayMs);
}

// ---------------------------------------------------------------------------------------
// A screen: a long-lived object (owned by the main window) that knows its table and its
// current content frame.
class TFRScreen : public QObject {
    Q_OBJECT
public:
    explicit TFRScreen(QObject* owner);
    ~TFRScreen() override;  // frees a frame it still holds

    // Builds a screen and then runs its Initialize.
    template <class T, class... Args>
    static T* Create(Args&&... args) {
        T* screen = new T(std::forward<Args>(args)...);
        screen->Initialize();
        return screen;
    }

    // Off while a history item is being restored, so frames add no item then.
    bool RecordHistory = true;

    TClientDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TClientDataSet* dataSet) { m_dataSet = dataSet; }
    TFRFrameBase* Frame() const;
    // A new frame gets this screen and its table.
    void SetFrame(TFRFrameBase* frame);

    virtual void Initialize() {}
    virtual void Deactivate() {}
    virtual void Activate(const QString& params) {}

    // The tables the screen shows: its own by default. The tables linked to these as detail
    // tables (at any depth) count too.
    virtual QList<TClientDataSet*> ScreenTables() const;
    // What the frame tells when the screen opens: why each of those tables that could not be
    // read at start-up shows nothing.
    QStringList TableFailures() const;

protected:
    // For screens that release their frame: the reference is cleared at once.
    QPointer<TFRFrameBase>& FrameRef() { return m_frame; }

private:
    TClientDataSet* m_dataSet = nullptr;
    QPointer<TFRFrameBase> m_frame;
};

// A screen over a table.
class TFRDBScreen : public TFRScreen {
    Q_OBJECT
public:
    explicit TFRDBScreen(QObject* owner);

    // While locked the screen does not let its frame update.
    bool Locked = false;

    // Hands the frame to the destruction list; the screen has no frame afterwards.
    virtual void ReleaseFrame();
    // Creates the screen's frame (TFRFrameBase::Create) unless it has one, and sets it.
    virtual void CreateFrame() = 0;
    // Record moves; nothing when the table is missing or closed.
    virtual void First();
    virtual void Last();
    virtual void Next();
    virtual void Prior();
    // Updates a visible frame, unless the screen is locked or the table's controls are
    // disabled.
    virtual void UpdateFrame();
    // The same tests, then the frame's AfterExport.
    virtual void AfterExport();

protected:
    bool MayUpdateFrame() const;
};

// A flat main-menu button; exactly one of them is down.
class TFRMainMenuButton : public QToolButton {
    Q_OBJECT
public:
    explicit TFRMainMenuButton(QWidget* parent = nullptr);
    // The normal glyph and the one shown while the button is disabled.
    void SetGlyphs(const QPixmap& normal, const QPixmap& disabled);
};

// A screen with a main-menu button.
class TFRMainScreen : public TFRDBScreen {
    Q_OBJECT
public:
    explicit TFRMainScreen(QObject* owner);
    ~TFRMainScreen() override;

    // The button's position on the main menu: 0 for the first screen created.
    int ScreenID = -1;
    TFRMainMenuButton* MenuButton() const { return m_menuButton; }

    // Puts the button on the main menu. Derived screens set the button's glyphs, caption and
    // hint first, then call this.
    void Initialize() override;
    // Saves the frame's settings, takes the frame out of the screen holder and releases it.
    void Deactivate() override;
    // Takes over the screen holder unless current (see ScreenParams), then updates.
    void Activate(const QString& params) override;
    // The menu button's click: drops the history from its current position onward and
    // activates this screen.
    virtual void Navigate();

private:
    QPointer<TFRMainMenuButton> m_menuButton;
};

class TFRFungiSubScreen;

// What the species frame offers its sub-screens. The species frame implements it; the
// species screen registers itself with TFRFungiSubScreen::SetHostScreen.
class TFRSubScreenHost {
public:
    virtual ~TFRSubScreenHost() = default;
    virtual TFRFungiSubScreen* CurrentSubScreen() const = 0;
    virtual void SetCurrentSubScreen(TFRFungiSubScreen* subScreen) = 0;
    // Hides the current sub-screen.
    virtual void HideCurrentSubScreen() = 0;
    // The species frame's own sub-screen area.
    virtual QWidget* SubScreenArea() const = 0;
    // Shows the page "tabsExternalFrame" and returns the panel that takes the frame.
    virtual QWidget* ShowExternalFramePage() = 0;
};

// A screen shown inside the species frame.
class TFRFungiSubScreen : public TFRDBScreen {
    Q_OBJECT
public:
    explicit TFRFungiSubScreen(QObject* owner);

    // 0: in the species frame's sub-screen area; 1: on its page "tabsExternalFrame".
    quint8 SubMode() const { return m_subMode; }
    // A new mode re-activates the sub-screen when it is the species frame's current one.
    void SetSubMode(quint8 mode);

    void Deactivate() override;
    void Activate(const QString& params) override;

    // The species screen, whose frame hosts the sub-screens.
    static void SetHostScreen(TFRMainScreen* screen);
    static TFRMainScreen* HostScreen();
    // The species frame, or nullptr when it does not exist.
    static TFRSubScreenHost* HostFrame();

private:
    quint8 m_subMode = 0;
};

// ---------------------------------------------------------------------------------------
// The base of every content frame: fills its parent, has the green header panelFrameHeader
// at the top, and the hooks that screens and the history call.
class TFRFrameBase : public QFrame {
    Q_OBJECT
public:
    explicit TFRFrameBase(QWidget* parent = nullptr);
    ~TFRFrameBase() override;

    // Builds a frame invisible and then runs its InitFrame.
    template <class F, class... Args>
    static F* Create(Args&&... args) {
        F* frame = new F(std::forward<Args>(args)...);
        frame->InitFrame();
        return frame;
    }

    // Set when the screen takes the frame.
    TClientDataSet* DataSet = nullptr;
    QPointer<TFRDBScreen> Screen;

    QLabel* panelFrameHeader = nullptr;
    // Below the header: which of the screen's tables could not be read, hidden when all could.
    QLabel* lblTableFailure = nullptr;
    void ShowTableFailures(const QStringList& texts);
    // The layout below the header where frames put their content.
    QVBoxLayout* BodyLayout() const { return m_body; }

    virtual void InitFrame() {}
    virtual void LoadSettings() {}
    virtual void SaveSettings() {}
    // Puts the frame back into the state that the item describes.
    virtual void RestoreHistory(TFRHistoryItem* item) {}
    // A new item describing the present view, or nullptr.
    virtual TFRHistoryItem* CreateHistoryItem() { return nullptr; }
    // Runs once when the frame is freed, before anything of it is freed.
    virtual void DoneFrame() {}
    // Shows the current record again.
    virtual void UpdateFrame();
    // Sets the buttons' states from the table's state.
    virtual void UpdateButtons() {}
    virtual void AfterExport();

    // Asks the owning screen to update its frame.
    void UpdateScreen();

    // Puts the frame into a parent that it fills, or takes it out again.
    void PlaceInto(QWidget* parent);
    void TakeOut();

    // Frees a frame now, running its DoneFrame first.
    static void Free(QObject* object);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void RunDoneFrame();
    QVBoxLayout* m_body = nullptr;
    bool m_done = false;
};
