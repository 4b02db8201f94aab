#pragma once
// A stand-in main window for the screen and history tests: the menu column with back,
// forward and quit, the main-menu panel and the screen holder, and test screens whose
// frames count what is asked of them.
#include <QCloseEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "shell/FRHistory.h"
#include "shell/FRScreens.h"

class TestMainWindow : public QWidget, public TFRScreenHost {
public:
    TestMainWindow() {
        resize(800, 600);
        auto* row = new QHBoxLayout(this);
        panelMainMenu = new QWidget(this);
        auto* column = new QVBoxLayout(panelMainMenu);
        panelMenuUpper = new QWidget(panelMainMenu);
        sbtnBack = new QToolButton(panelMenuUpper);
        sbtnBack->setText("Föreg.");
        sbtnForward = new QToolButton(panelMenuUpper);
        sbtnForward->setText("Nästa");
        sbtnForward->move(80, 0);
        column->addWidget(panelMenuUpper);
        panelMenuMain = new QWidget(panelMainMenu);
        column->addWidget(panelMenuMain);
        panelMenuLower = new QWidget(panelMainMenu);
        sbtnQuit = new QToolButton(panelMenuLower);
        sbtnQuit->setText("Avsluta");
        sbtnHelp = new QToolButton(panelMenuLower);
        sbtnHelp->setText("Hjälp");
        sbtnHelp->move(80, 0);
        column->addWidget(panelMenuLower);
        row->addWidget(panelMainMenu);
        panelScreenHolder = new QWidget(this);
        row->addWidget(panelScreenHolder, 1);
        QObject::connect(sbtnBack, &QToolButton::clicked, [this] { History()->Back(); });
        QObject::connect(sbtnForward, &QToolButton::clicked, [this] { History()->Forward(); });
        UpdateHistoryButtons();
    }

    QWidget* ScreenHolder() const override { return panelScreenHolder; }
    QWidget* MenuMainPanel() const override { return panelMenuMain; }
    QWidget* MenuLowerPanel() const override { return panelMenuLower; }
    QAbstractButton* BackButton() const override { return sbtnBack; }
    QAbstractButton* ForwardButton() const override { return sbtnForward; }
    QAbstractButton* QuitButton() const override { return sbtnQuit; }

    QWidget *panelMainMenu, *panelMenuUpper, *panelMenuMain, *panelMenuLower, *panelScreenHolder;
    QToolButton *sbtnBack, *sbtnForward, *sbtnQuit, *sbtnHelp;

protected:
    void closeEvent(QCloseEvent* e) override {
        if (CanCloseMainWindow())
            e->accept();
        else
            e->ignore();
    }
};

// A content frame that counts its hooks and describes its view by one value.
class TestFrame : public TFRFrameBase {
public:
    int inits = 0, loads = 0, saves = 0, updates = 0, buttons = 0, exports = 0, restores = 0;
    bool recordHistoryWhileRestoring = true;
    bool describesView = true;
    QString view;  // what the frame shows
    std::function<void()> onDone;

    void InitFrame() override { ++inits; }
    void LoadSettings() override { ++loads; }
    void SaveSettings() override { ++saves; }
    void UpdateFrame() override {
        ++updates;
        TFRFrameBase::UpdateFrame();
    }
    void UpdateButtons() override { ++buttons; }
    void AfterExport() override {
        ++exports;
        TFRFrameBase::AfterExport();
    }
    void DoneFrame() override {
        if (onDone) onDone();
    }
    TFRHistoryItem* CreateHistoryItem() override {
        if (!describesView) return nullptr;
        auto* item = new TFRHistoryItem;
        item->Screen = Screen.data();
        item->Title = "Till " + view;
        item->SetValues("View", view);
        return item;
    }
    void RestoreHistory(TFRHistoryItem* item) override {
        ++restores;
        recordHistoryWhileRestoring = Screen && Screen->RecordHistory;
        view = item->Values("View");
    }
};

class TestScreen : public TFRMainScreen {
public:
    explicit TestScreen(QObject* owner, QString name = QString()) : TFRMainScreen(owner), name(std::move(name)) {}
    void Initialize() override {
        MenuButton()->setText(name);
        TFRMainScreen::Initialize();
    }
    void CreateFrame() override {
        if (!makesFrame || Frame()) return;
        auto* frame = TFRFrameBase::Create<TestFrame>();
        frame->view = name + " start";
        frame->describesView = describesView;
        SetFrame(frame);
        ++framesMade;
    }
    TestFrame* frame() const { return static_cast<TestFrame*>(Frame()); }

    QString name;
    bool makesFrame = true;
    bool describesView = true;
    int framesMade = 0;
};
