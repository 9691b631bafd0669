#include "aids/LyricLayoutDialog.h"

#include "aids/LyricLayoutPreview.h"
#include "aids/LyricLayoutUpDown.h"
#include "aids/PaletteDialog.h"
#include "aids/core/LayoutGeometry.h"
#include "aids/core/PaletteColour.h"
#include "aids/core/TextColour.h"
#include "form/CommandIds.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/DialogUnits.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/ShiftJisCodec.h"
#include "platform/TestAnswers.h"

#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

namespace velkan {

namespace {

const QString kSessionName = QStringLiteral("歌詞表示位置の設定");

TestAnswers<std::function<void(LyricLayoutDialog &)>> g_sessions;

constexpr int kFirstLyricIndex = 4; // after the four header lines of a lyrics script
constexpr int kSpacingMin = 1;
constexpr int kSpacingMax = 4;

QColor toQColor(const Rgb8 &c)
{
    return QColor(c.red, c.green, c.blue);
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

LyricLayoutDialog::~LyricLayoutDialog()
{
    // The model watches m_lyrics, a member that goes before the children do.
    m_list->setModel(nullptr);
    delete m_model;
}

LyricLayoutDialog::LyricLayoutDialog(VelkanView &view) : QDialog(&view), m_view(view)
{
    setObjectName(QStringLiteral("lyricLayoutDialog"));
    setFont(Fonts::formFont());
    m_previewFont = Fonts::fixedFont(7);
    // Crisp glyphs in exactly the chosen colour, as the player's text screen shows them.
    m_previewFont.setStyleStrategy(QFont::NoAntialias);
    buildControls();
    setUp();
}

void LyricLayoutDialog::buildControls()
{
    const DialogUnits du(font());
    setFixedSize(du.size(383, 201));

    m_model = new ScriptListModel(&m_lyrics, this);
    m_list = new ScriptListView(this);
    m_list->setObjectName(QStringLiteral("lyricList"));
    m_list->setModel(m_model);
    m_list->setGeometry(du.rect(4, 4, 132, 110));
    m_list->viewport()->installEventFilter(this);

    // Moved and sized by updatePreviewGeometry(); its height here sets the cells.
    m_preview = new LyricLayoutPreview(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setGeometry(du.rect(150, 3, 228, 157));

    m_backgroundButton = new QPushButton(QStringLiteral("背景色"), this);
    m_backgroundButton->setObjectName(QStringLiteral("backgroundButton"));
    m_backgroundButton->setGeometry(du.rect(4, 127, 40, 14));

    auto *colourCaption = new QLabel(QStringLiteral("文字色"), this);
    colourCaption->setObjectName(QStringLiteral("colourCaption"));
    colourCaption->setGeometry(du.rect(50, 118, 34, 9));
    m_colourList = new QListWidget(this);
    m_colourList->setObjectName(QStringLiteral("colourList"));
    m_colourList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tall enough to show all eight colours at once.
    m_colourList->setGeometry(du.rect(50, 127, 34, 71));
    m_colourList->viewport()->installEventFilter(this);

    auto *spacingCaption = new QLabel(QStringLiteral("行間隔"), this);
    spacingCaption->setObjectName(QStringLiteral("spacingCaption"));
    spacingCaption->setGeometry(du.rect(92, 118, 34, 9));
    m_spacingEdit = new QLineEdit(this);
    m_spacingEdit->setObjectName(QStringLiteral("spacingEdit"));
    m_spacingEdit->setGeometry(du.rect(92, 128, 22, 12));
    m_upDown = new LyricLayoutUpDown(m_spacingEdit, this);
    m_upDown->setObjectName(QStringLiteral("spacingUpDown"));
    m_upDown->setGeometry(du.rect(114, 128, 9, 12));

    m_rowBar = new QScrollBar(Qt::Vertical, this);
    m_rowBar->setObjectName(QStringLiteral("rowBar"));
    m_rowBar->setGeometry(du.rect(150, 163, 9, 30));
    // Its position is 26 - row: drawn the other way up, the thumb rises with
    // the lyric.
    m_rowBar->setInvertedAppearance(true);

    m_columnBar = new QScrollBar(Qt::Horizontal, this);
    m_columnBar->setObjectName(QStringLiteral("columnBar"));
    m_columnBar->setGeometry(du.rect(164, 171, 27, 11));

    for (QScrollBar *bar : {m_rowBar, m_columnBar}) {
        bar->setPageStep(1);
        bar->setContextMenuPolicy(Qt::NoContextMenu);
    }

    m_positionLabel = new QLabel(QStringLiteral("Static"), this);
    m_positionLabel->setObjectName(QStringLiteral("positionLabel"));
    m_positionLabel->setGeometry(du.rect(196, 172, 62, 9));

    m_confirmButton = new QPushButton(QStringLiteral("位置確定"), this);
    m_confirmButton->setObjectName(QStringLiteral("confirmButton"));
    m_confirmButton->setGeometry(du.rect(262, 164, 50, 14));

    m_clearButton = new QPushButton(QStringLiteral("画面ｸﾘｱ"), this);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setGeometry(du.rect(320, 164, 50, 14));

    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("prompt"));
    m_prompt->setGeometry(du.rect(164, 189, 215, 10));

    // Enter in the spacing box must not press a button.
    for (QPushButton *b : {m_backgroundButton, m_confirmButton, m_clearButton}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

void LyricLayoutDialog::setUp()
{
    m_lyrics.assign(m_view.scriptList().lines());
    if (m_lyrics.count() > kFirstLyricIndex)
        m_list->selectRow(kFirstLyricIndex);

    m_state = LayoutState{};
    m_upDown->setRange(kSpacingMin, kSpacingMax);
    m_upDown->setValue(m_state.lineSpacing);
    m_rowBar->setRange(1, LayoutState::kRows);
    m_rowBar->setValue(m_state.verticalControlValue());
    m_columnBar->setRange(1, LayoutState::kColumns);
    m_columnBar->setValue(m_state.horizontalControlValue());

    for (const TextColour &c : textColours())
        m_colourList->addItem(fromUtf8(c.name));
    m_colourList->setCurrentRow(0);

    m_background = QColor(0, 0, 0);
    m_textColour = QColor(0xFF, 0xFF, 0xFF);
    setWindowTitle(QStringLiteral("歌詞配置ダイアログ"));
    HelpWindow::addHelpKey(this, QStringLiteral("layout"));
    setPrompt(QStringLiteral("背景色を設定して下さい"));
    updatePreviewGeometry();

    // Attached only now, so that set-up itself triggers none of the actions.
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { chooseLyric(); });
    connect(m_list, &ScriptListView::keyPressed, this,
            [this](int key, int caret, quint64, bool *handled) {
                if (key != Qt::Key_Delete)
                    return;
                *handled = true;
                deleteAt(caret);
            });
    connect(m_rowBar, &QAbstractSlider::actionTriggered, this, &LyricLayoutDialog::onRowAction);
    connect(m_columnBar, &QAbstractSlider::actionTriggered, this,
            &LyricLayoutDialog::onColumnAction);
    connect(m_confirmButton, &QPushButton::clicked, this, &LyricLayoutDialog::confirmPosition);
    connect(m_backgroundButton, &QPushButton::clicked, this, &LyricLayoutDialog::chooseBackground);
    connect(m_clearButton, &QPushButton::clicked, this, &LyricLayoutDialog::clearPreview);
    connect(m_colourList, &QListWidget::itemSelectionChanged, this, [this] {
        m_colourPressChanged = true;
        chooseColour();
    });
    // A click on the colour that is already selected chooses it again.
    connect(m_colourList, &QAbstractItemView::pressed, this, [this] {
        if (!m_colourPressChanged)
            chooseColour();
    });
    connect(m_colourList, &QAbstractItemView::doubleClicked, this,
            &LyricLayoutDialog::confirmColour);
    connect(m_spacingEdit, &QLineEdit::textChanged, this, &LyricLayoutDialog::onSpacingEdited);
    m_list->setFocus();
}

QWidget *LyricLayoutDialog::control(int id) const
{
    switch (id) {
    case LyricList:
        return m_list;
    case ColumnBar:
        return m_columnBar;
    case Preview:
        return m_preview;
    case BackgroundButton:
        return m_backgroundButton;
    case SpacingEdit:
        return m_spacingEdit;
    case SpacingUpDown:
        return m_upDown;
    case ColourList:
        return m_colourList;
    case Prompt:
        return m_prompt;
    case RowBar:
        return m_rowBar;
    case PositionLabel:
        return m_positionLabel;
    case ConfirmButton:
        return m_confirmButton;
    case ClearButton:
        return m_clearButton;
    default:
        return nullptr;
    }
}

void LyricLayoutDialog::updatePreviewGeometry()
{
    const PreviewGeometry g = previewGeometry(m_preview->height(), m_list->viewport()->width());
    m_cellHeight = g.cellHeight;
    m_preview->setGeometry(g.frame.x, g.frame.y, g.frame.width, g.frame.height);
    m_preview->fitCanvas(m_background);
}

void LyricLayoutDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    updatePreviewGeometry();
}

bool LyricLayoutDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (m_preview && watched == m_list->viewport() && event->type() == QEvent::Resize)
        updatePreviewGeometry();
    if (m_colourList && watched == m_colourList->viewport() &&
        event->type() == QEvent::MouseButtonPress)
        m_colourPressChanged = false;
    return QDialog::eventFilter(watched, event);
}

// --- actions -----------------------------------------------------------

void LyricLayoutDialog::chooseLyric()
{
    const int selected = m_list->selectedRow();
    if (selected < 0)
        return;
    m_lyricText = ShiftJis::decode(m_lyrics.at(selected));
    const int control = m_state.chooseLyric();
    drawLyric();
    m_lyricWidth = m_preview->textWidth(m_lyricText, m_previewFont);
    showPosition();
    m_rowBar->setValue(control);
    setPrompt(QStringLiteral("上下左右ボタンで希望する位置へ移動して下さい"));
}

void LyricLayoutDialog::onRowAction(int action)
{
    // The upper arrow raises the lyric; nothing but the two arrows moves it.
    VerticalArrow arrow = VerticalArrow::Other;
    if (action == QAbstractSlider::SliderSingleStepSub)
        arrow = VerticalArrow::Up;
    else if (action == QAbstractSlider::SliderSingleStepAdd)
        arrow = VerticalArrow::Down;
    const ArrowMove move = m_state.moveVertical(arrow);
    m_rowBar->setSliderPosition(move.controlValue);
    redrawAfterMove(move);
}

void LyricLayoutDialog::onColumnAction(int action)
{
    HorizontalArrow arrow = HorizontalArrow::Other;
    if (action == QAbstractSlider::SliderSingleStepSub)
        arrow = HorizontalArrow::Left;
    else if (action == QAbstractSlider::SliderSingleStepAdd)
        arrow = HorizontalArrow::Right;
    const ArrowMove move = m_state.moveHorizontal(arrow);
    m_columnBar->setSliderPosition(move.controlValue);
    redrawAfterMove(move);
}

void LyricLayoutDialog::confirmPosition()
{
    insertLine(m_state.locateLine());
}

void LyricLayoutDialog::chooseColour()
{
    m_textColour = toQColor(textColourAt(selectedColour()).preview);
    const int selected = m_list->selectedRow();
    if (selected >= 0) {
        m_lyricText = ShiftJis::decode(m_lyrics.at(selected));
        const int control = m_state.redrawInPlace();
        drawLyric();
        m_lyricWidth = m_preview->textWidth(m_lyricText, m_previewFont);
        showPosition();
        m_rowBar->setValue(control);
    }
    setPrompt(QStringLiteral("この色でよければダブルクリックで確定して下さい"));
}

void LyricLayoutDialog::confirmColour()
{
    insertLine(ScriptLine(textColourAt(selectedColour()).wrdLine));
    setPrompt(QStringLiteral("次に配置する歌詞をダブルクリックで選択して下さい"));
}

void LyricLayoutDialog::chooseBackground()
{
    PaletteColour &colour = m_view.paletteColour();
    if (PaletteDialog::ask(this, colour)) {
        m_background = toQColor(screenColour(colour));
        m_preview->fillWithOutline(m_background);
        insertLine(backgroundPaletteLine(colour));
    }
    setPrompt(QStringLiteral("配置する歌詞をリストボックスから選択(ダブルクリック)して下さい"));
}

void LyricLayoutDialog::clearPreview()
{
    // The form's palette colour, not the background set last: a cancelled
    // palette dialog still leaves its colour there.
    m_preview->fillWithOutline(toQColor(screenColour(m_view.paletteColour())));
}

void LyricLayoutDialog::deleteAt(int caret)
{
    if (!m_lyrics.isValidIndex(caret))
        return;
    // Both lists leave no line selected where the removed line was selected,
    // and keep any other selected line: the author chooses the next line.
    m_lyrics.remove(caret);
    m_view.document().removeLines(caret, 1, kSessionName, ScriptDocument::kKeepSelection);
}

void LyricLayoutDialog::onSpacingEdited(const QString &text)
{
    m_state.lineSpacing = readLineSpacing(text.toStdString());
}

// --- helpers ------------------------------------------------------------

void LyricLayoutDialog::insertLine(const ScriptLine &line)
{
    const int at = layoutInsertionIndex(m_list->selectedRow(), m_lyrics.count());
    m_lyrics.insert(at, line);
    m_view.document().insertLine(at, line, kSessionName, ScriptDocument::kKeepSelection);
}

void LyricLayoutDialog::drawLyric()
{
    m_preview->drawText(cellOrigin(m_state.row, m_state.column, m_cellHeight), m_lyricText,
                        m_previewFont, m_textColour);
}

void LyricLayoutDialog::redrawAfterMove(const ArrowMove &move)
{
    m_preview->fillRect(eraseRect(move.erasedRow, move.erasedColumn, m_cellHeight, m_lyricWidth,
                                  m_preview->width()),
                        m_background);
    drawLyric();
    showPosition();
}

void LyricLayoutDialog::showPosition()
{
    m_positionLabel->setText(fromUtf8(m_state.positionLabel()));
}

void LyricLayoutDialog::setPrompt(const QString &text)
{
    m_prompt->setText(text);
}

int LyricLayoutDialog::selectedColour() const
{
    const QList<QListWidgetItem *> items = m_colourList->selectedItems();
    return items.isEmpty() ? -1 : m_colourList->row(items.constFirst());
}

// --- the menu command ---------------------------------------------------

void LyricLayoutDialog::setNextSession(std::function<void(LyricLayoutDialog &)> session)
{
    g_sessions.push(std::move(session));
}

void LyricLayoutDialog::clearSessions()
{
    g_sessions.clear();
}

void installLyricLayoutCommand(VelkanView &view)
{
    QObject::connect(view.action(cmd::LyricLayout), &QAction::triggered, &view, [&view] {
        // Whatever the dialog writes into the script while open is one step.
        const ScriptDocument::Session step(view.document(), kSessionName);
        LyricLayoutDialog dialog(view);
        auto session = g_sessions.take();
        if (!session) {
            dialog.exec();
            return;
        }
        dialog.show();
        (*session)(dialog);
        dialog.close();
    });
}

} // namespace velkan
