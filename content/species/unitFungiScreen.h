#pragma once
// The species screen: the main screen of the species descriptions, bound to cdsFungi. It owns
// the species frame and the seven sub-screens that show the current species' pictures, finds,
// look-alikes and find places inside that frame. Other screens use it to show one species or
// one find, to widen the species selection so that a chosen species becomes visible, to turn
// a species key into a name and to find a species by its signature.
#include <QPointer>
#include <QString>
#include <QStringList>

#include "shell/FRScreens.h"

class TDM;
class TExtClientDataSet;
class TframeFungi;

// ---- The sub-frames' common roots ----
// The base of the list sub-frames; it adds nothing, so that they share a class root.
class TframeFungiSubBase : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeFungiSubBase(QWidget* parent = nullptr);
};
// The base of the detail sub-frames.
class TframeFungiDetailBase : public TframeFungiSubBase {
    Q_OBJECT
public:
    explicit TframeFungiDetailBase(QWidget* parent = nullptr);
};

// ---- The sub-screens ----
// A sub-screen over one detail table of cdsFungi. Until a function area brings its own frame,
// the sub-screen shows an empty frame of its base class with its title in the header.
class TFRFungiDetailSubScreen : public TFRFungiSubScreen {
    Q_OBJECT
public:
    // button: the species frame's sub-screen button whose caption shows the record count
    // (0 for the detail sub-screens, which have none); caption: its format, with %1 the count.
    TFRFungiDetailSubScreen(QObject* owner, TExtClientDataSet* table, quint8 subMode, const QString& title, int button,
                            const QString& caption);
    void CreateFrame() override;
    void ReleaseFrame() override;
    // Inherited, then the record count into the species frame's button.
    void UpdateFrame() override;
    int ButtonTag() const { return m_button; }
    QString Title() const { return m_title; }

protected:
    // The sub-screen's own frame; the base gives an empty one with the title.
    virtual TFRFrameBase* NewFrame();

private:
    QString m_title;
    int m_button;
    QString m_caption;
};

// A sub-screen whose frame its function area's unit makes. The macro's argument names a class,
// which cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define MYKO_FUNGI_SUBSCREEN_FRAMED(Name)         \
    class Name : public TFRFungiDetailSubScreen { \
    public:                                       \
        explicit Name(QObject* owner);            \
                                                  \
    protected:                                    \
        TFRFrameBase* NewFrame() override;        \
    };
MYKO_FUNGI_SUBSCREEN_FRAMED(TFRFungiFindScreen)
MYKO_FUNGI_SUBSCREEN_FRAMED(TFRFungiMixupScreen)
MYKO_FUNGI_SUBSCREEN_FRAMED(TFRFungiMixupDetailScreen)
MYKO_FUNGI_SUBSCREEN_FRAMED(TFRFungiFPlaceScreen)
// NOLINTEND(bugprone-macro-parentheses)
// One find for viewing, input and change; its frame's unit implements it.
class TFRFungiFindDetailScreen : public TFRFungiDetailSubScreen {
public:
    explicit TFRFungiFindDetailScreen(QObject* owner);
    // Each locks navigation and species browsing until the find is saved, cancelled or closed.
    void NewFind();
    void ShowFind();
    void EditFind();
    // Set when the user accepted marks on the maps screen for this find.
    bool MarkPending = false;
    QString MarkFindUKey;

protected:
    TFRFrameBase* NewFrame() override;
};
#undef MYKO_FUNGI_SUBSCREEN_FRAMED
class TFRIConnection;
// The grid of the species' pictures; it also makes thumbnails and main pictures and
// downloads linked pictures. Its frame's unit implements it.
class TFRFungipicScreen : public TFRFungiDetailSubScreen {
public:
    explicit TFRFungipicScreen(QObject* owner);
    // The thumbnail of the current picture, from its file.
    void MakeThumbnail();
    // The current picture becomes the species' main picture.
    void MakeMainPicture();
    // Downloads the current linked picture; a failure raises and changes nothing.
    void DownloadWebPicture();
    // The connection downloads go through: the main window's, else one of the screen's own.
    TFRIConnection* Connection();
    void SetConnection(TFRIConnection* connection) { m_connection = connection; }

protected:
    TFRFrameBase* NewFrame() override;

private:
    TFRIConnection* m_connection = nullptr;
};
// One picture for viewing, input and change; its frame's unit implements it.
class TFRFungiPicDetailScreen : public TFRFungiDetailSubScreen {
public:
    explicit TFRFungiPicDetailScreen(QObject* owner);
    // Each locks navigation and species browsing until the picture is saved, cancelled or
    // closed. A file or clipboard that holds no readable picture raises before anything
    // changes.
    void NewFromFile(const QString& fileName);
    void NewFromClipboard();
    void EditPicture();
    void ShowPicture();
    // The current record's picture into the frame: its file, or the stock picture of a link
    // not yet downloaded or of a missing file.
    void LoadPicture();
    bool IsUndownloadedLink() const;

protected:
    TFRFrameBase* NewFrame() override;
};

// ---- The species screen ----
class TFRFungiScreen : public TFRMainScreen {
    Q_OBJECT
public:
    explicit TFRFungiScreen(QObject* owner);
    ~TFRFungiScreen() override;

    // 0 none, 1 Swedish name, 2 Latin name, 3 group.
    quint8 SortOrder() const { return m_sortOrder; }
    bool ShowSporeInfo() const { return m_showSporeInfo; }
    // The identification key's memory of its selection.
    QStringList KeySelection;
    bool KeySelectionFlag = false;

    void Initialize() override;
    void CreateFrame() override;
    void ReleaseFrame() override;
    // Inherited, then the sub-screens pictures, look-alikes, find places and finds.
    void UpdateFrame() override;

    void SetSortOrder(int order);
    void SetShowSporeInfo(bool value);
    // Enables or disables the browse controls of the species frame, then updates it.
    void SetBrowseEnabled(bool value);
    // Shows a species with one of its finds on the finds sub-screen.
    void ShowFungiFind(const QString& fungiKey, const QString& findKey);
    // Makes a species visible: widens the selection by the species when it is outside it.
    // A key that no stored species has leaves everything as it was and tells the user.
    // Returns whether the species is the current record afterwards.
    bool ShowFungiInSelection(const QString& key);
    // The key of the stored species whose Signature equals the text, else empty.
    QString FindUKeyBySignature(const QString& signature);
    // Positions the stored records on the key ("***": the current record's key).
    bool LocateLookup(const QString& key);
    // "Swedish (Latin)", or the Latin name alone; "*" is the current visible record.
    QString GetFungiFullName(const QString& key);
    // The Swedish name, or the Latin name when it has none.
    QString GetFungiName(const QString& key);
    // Keeps cdsFungi.PicCount equal to the number of pictures of the current species.
    void UpdatePicCount();

    TframeFungi* FungiFrame() const;
    TExtClientDataSet* Fungi() const { return m_fungi; }
    TDM* DataModule() const { return m_dm; }

    TFRFungipicScreen* PicScreen = nullptr;
    TFRFungiPicDetailScreen* PicDetailScreen = nullptr;
    TFRFungiFindScreen* FindScreen = nullptr;
    TFRFungiFindDetailScreen* FindDetailScreen = nullptr;
    TFRFungiMixupScreen* MixupScreen = nullptr;
    TFRFungiMixupDetailScreen* MixupDetailScreen = nullptr;
    TFRFungiFPlaceScreen* FPlaceScreen = nullptr;

private:
    void CreateSubScreens();
    // A stored value of the species with the key ("*": the current visible record).
    QString StoredText(const QString& key, const QString& field);

    TDM* m_dm = nullptr;
    TExtClientDataSet* m_fungi = nullptr;
    quint8 m_sortOrder = 0;
    bool m_showSporeInfo = false;
};

// The one species screen, while it exists.
extern QPointer<TFRFungiScreen> FRFungiScreen;
// The texts the user sees while the selection is widened and when a species is missing.
inline constexpr const char* WideningStatusText = "200,Utökar urval så att vald art inkluderas...";
// The names of the order indexes of cdsFungi, by sort order.
QStringList FungiSortIndexNames();
// Makes the species screen (the main window's factory for its slot).
TFRMainScreen* CreateFungiScreen(QObject* owner);
// Registers that factory under the species screen's number (the first screen).
void RegisterFungiScreen();
