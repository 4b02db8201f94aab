#pragma once
// One question of the identification key. Collapsed it shows the question as a one-line
// heading; when the focus enters it (from outside its own subtree) it opens into its answer
// area: a list of options, a colour, or a typed value. A fourth kind is a plain section
// heading that never opens. The panel colours itself by whether the question is answered,
// can be switched inactive by its owner, and gives its answer as a short text and back.
#include <QFrame>
#include <QStringList>
#include <functional>

#include "controls/FRGraphics.h"

class QLabel;
class QPushButton;
class TFREdit;
class TFRLabel;
class TFRMultiChoice;
class TSubtreeFocus;

enum class TKeyPanelKind { pkOptions, pkColor, pkEdit, pkHeader };

class TFRKeyPanel;
using TChooseColorNotifyEvent = std::function<void(TFRKeyPanel* sender, TColor& color)>;

class TFRKeyPanel : public QFrame {
    Q_OBJECT
public:
    // The panel's state colours.
    static constexpr TColor AnsweredColor = 0x00EC00;
    static constexpr TColor UnansweredColor = 0x82C0FF;
    static constexpr int CollapsedHeight = 23;

    explicit TFRKeyPanel(QWidget* parent = nullptr);
    ~TFRKeyPanel() override;

    TKeyPanelKind Kind() const { return m_kind; }
    void SetKind(TKeyPanelKind kind);
    QString Question() const;
    void SetQuestion(const QString& question);
    QStringList Options() const;
    // Replaces the options (every selection goes) and recomputes the height.
    void SetOptions(const QStringList& options);
    int MaxSelected() const;
    void SetMaxSelected(int value);  // 1: single choice, 0: any number
    QString InputCaption() const;
    void SetInputCaption(const QString& caption);
    QFont LabelFont() const;
    void SetLabelFont(const QFont& font);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor color);
    // The panel's own colour; the state colours replace it for every kind but headers.
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    // The question's text colour (headers keep what they are given).
    void SetLabelColor(TColor color);

    bool Active() const { return m_active; }
    // Stores Active and refreshes the look; the height stays.
    void SetActive(bool active);
    bool Expanded() const { return m_expanded; }

    bool GetOptionSelected(int index) const;
    void SetOptionSelected(int index, bool selected);
    QString GetInputText() const;
    void SetInputText(const QString& text);
    // The colour answer, -1 when none. A new value refreshes the look and fires no OnChange.
    TColor ColorAnswer() const { return m_colorAnswer; }
    void SetColorAnswer(TColor color);

    // Whether the question is answered (an inactive panel never is).
    bool IsAnswered() const;
    bool IsEmpty() const { return !m_active || !IsAnswered(); }
    void Clear();
    // The answer as text: "0"/"1" per option, the colour number ("-1" for none), the typed
    // text, "*" for a heading. SetValue raises the conversion error for a colour that is no
    // integer.
    QString GetValue() const;
    void SetValue(const QString& value);

    std::function<void(TFRKeyPanel*)> OnChange;
    TChooseColorNotifyEvent OnChooseColor;

    // The owned controls.
    QLabel* QuestionLabel() const { return m_label; }
    QPushButton* ClearButton() const { return m_clearButton; }
    QPushButton* ColorButton() const { return m_colorButton; }
    QFrame* ColorSwatch() const { return m_swatch; }
    TFRMultiChoice* Choice() const { return m_choice; }
    TFREdit* InputEdit() const { return m_edit; }
    TFRLabel* InputLabel() const { return m_inputLabel; }
    // The control that takes the answer for the panel's kind, or nullptr for a heading.
    QWidget* AnswerControl() const;

    // Opens or closes the answer area as focus entering or leaving the panel does.
    void Enter();
    void Leave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshLook();
    void RefreshHeight();
    void AnswerChanged(QWidget* control);
    void ColorButtonClick();
    void ClearButtonClick();
    void FireChange();

    TKeyPanelKind m_kind = TKeyPanelKind::pkOptions;
    TColor m_borderColor = 0x008000;
    TColor m_color = UnansweredColor;
    TColor m_labelColor = clWindowText;
    TColor m_colorAnswer = -1;
    bool m_active = true;
    bool m_expanded = false;
    QLabel* m_label = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_colorButton = nullptr;
    QFrame* m_swatch = nullptr;
    TFRMultiChoice* m_choice = nullptr;
    TFREdit* m_edit = nullptr;
    TFRLabel* m_inputLabel = nullptr;
    TSubtreeFocus* m_focus = nullptr;
};
