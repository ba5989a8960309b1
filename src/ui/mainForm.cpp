#include "ui/mainForm.h"

#include "BusinessLogic/CommandStack.h"
#include "ui/MouseEventLineEdit.h"
#include "ui/StyleSheets.h"
#include "ui_mainForm.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <initializer_list>

// The images are compiled into this static library; referencing the initialiser keeps the
// linker from dropping them. (Must stay outside any namespace.)
static void loadImages()
{
    Q_INIT_RESOURCE(dosetta);
}

namespace {

// The window's texts share the form's translation context.
QString screenText(const char *text)
{
    return QCoreApplication::translate("mainScreen", text);
}

QTextCharFormat colourFormat(Qt::GlobalColor colour)
{
    QTextCharFormat format;
    format.setForeground(QBrush(colour));
    return format;
}

// The last `width` characters of the document's last paragraph.
QTextCursor markOfLastParagraph(QTextDocument *document, int width)
{
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    const int available = cursor.positionInBlock();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, std::min(width, available));
    return cursor;
}

} // namespace

mainForm::mainForm(BusinessLogic::CommandStack *stack, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::mainScreen>())
    , commandStack(stack)
{
    loadImages();
    ui->setupUi(this);
    ui->stackedButtonStartPause->setCurrentWidget(ui->pageStart);
    ui->pageStart->layout()->setContentsMargins(0, 0, 0, 0);
    ui->pagePause->layout()->setContentsMargins(0, 0, 0, 0);

    // Instance number, settings and the port list are wired here.

    fillLists();

    // The Factory tab is only for service; whether it comes back is decided here.
    ui->TabsExtendedSettings->removeTab(ui->TabsExtendedSettings->indexOf(ui->TabFactory));
    ui->TabsExtendedSettings->setCurrentWidget(ui->TabAdvanced);
    ui->comboCommAddress->addItem(QString::number(99));

    // The stored communication address is restored here.

    applyStyleSheets();
    BusinessLogic::registerInvalidReasonMetaTypes();
    connectTrafficViews();
    ui->textEditTxData->document()->setMaximumBlockCount(TrafficViewBlocks);
    ui->textEditRxData->document()->setMaximumBlockCount(TrafficViewBlocks);

    buildRunModeMenu();
    setEntryBounds();

    // Operator commands, the update timer, help and the compact start-up screen follow here.
}

mainForm::~mainForm() = default;

void mainForm::fillLists()
{
    // 80.0 % ... 120.0 % in steps of 0.1: the index is (percent - 80) * 10.
    for (int i = 0; i <= 400; ++i)
        ui->comboCalPercent->addItem(screenText("%1 %").arg(80.0 + i / 10.0, 0, 'f', 1));
    for (int i = 0; i <= 100; ++i)
        ui->comboContrast->addItem(screenText("%1 %").arg(i));
    for (int i = 0; i <= 98; ++i) {
        ui->comboCommAddress->addItem(QString::number(i));
        ui->comboPumpAddress->addItem(QString::number(i));
    }
}

void mainForm::applyStyleSheets()
{
    const QString control = QString::fromLatin1(StyleSheets::control);
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->buttonTestComm, ui->buttonStressTest, ui->buttonSearchPump, ui->buttonDefaults,
             ui->buttonMaintenancePos, ui->buttonUpdatePorts, ui->comboTypeFluid,
             ui->comboCalPercent, ui->comboCommAddress, ui->comboContrast, ui->comboDigIn1,
             ui->comboDigIn2, ui->comboAnalIn, ui->comboDigOut, ui->comboLanguage,
             ui->comboPumpAddress, ui->comboPumpModel})
        w->setStyleSheet(control);
    // The lists open as scrolling lists (the sheet's scroll bar), not as menus; a list built
    // before its sheet keeps the scroll-bar policy of a menu, so set it again.
    for (QComboBox *combo : findChildren<QComboBox *>()) {
        if (combo->styleSheet() == control)
            combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    const QString runButton = runButtonSheet(false);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->buttonStop, ui->buttonStart,
                                                       ui->buttonPause, ui->buttonPrime})
        w->setStyleSheet(runButton);
    ui->buttonMode->setStyleSheet(QString::fromLatin1(StyleSheets::buttonBase));
    ui->TabsExtendedSettings->setStyleSheet(QString::fromLatin1(StyleSheets::tabs));
    // The first tab page was shown, and so polished, while the form was being built; a later
    // sheet on an ancestor does not reach a polished page's palette, so polish that tree again.
    for (QWidget *w : ui->TabsExtendedSettings->findChildren<QWidget *>()) {
        w->style()->unpolish(w);
        w->style()->polish(w);
    }
}

QString mainForm::runButtonSheet(bool highlighted, RunButtonCorners corners)
{
    QString sheet = QString::fromLatin1(StyleSheets::buttonBase);
    sheet += QString::fromLatin1(highlighted ? StyleSheets::buttonHighlightColour
                                             : StyleSheets::buttonNormalColour);
    if (corners == RunButtonCorners::LeftSquare)
        sheet += QString::fromLatin1(StyleSheets::leftCornersSquare);
    else if (corners == RunButtonCorners::RightSquare)
        sheet += QString::fromLatin1(StyleSheets::rightCornersSquare);
    return sheet;
}

void mainForm::buildRunModeMenu()
{
    runModeMenu = std::make_unique<QMenu>();
    actionFlowMode = runModeMenu->addAction(screenText("ml/min"));
    actionVolumeMode = runModeMenu->addAction(screenText("ml"));
    runModeMenu->setStyleSheet(QString::fromLatin1(StyleSheets::menu));
    ui->buttonMode->setMenu(runModeMenu.get());
}

void mainForm::setEntryBounds()
{
    struct Bounds
    {
        MouseEventLineEdit *field;
        double minimum;
        double maximum;
    };
    // Time fields may step one past either end: the dispense-time normalisation turns -1 and
    // 60 into a borrow from or a carry into the neighbouring field.
    const Bounds bounds[] = {
        {ui->lineEditVolume, 1.0, 999.9},
        {ui->lineEditTimeHour, -1.0, 60.0},
        {ui->lineEditTimeMin, -1.0, 60.0},
        {ui->lineEditTimeSec, -1.0, 60.0},
        {ui->lineEditCycles, 0.0, 1000.0},
        {ui->lineEditCalVolume, 1.0, 100.0},
        {ui->lineEditBreakTimeMin, 1.0, 100.0},
        {ui->lineEditBreakTimeSec, 1.0, 100.0},
        {ui->lineEditFactoryCalVolume, 1.0, 100.0},
        {ui->lineEditFactoryPumpStrokeVolume, 1.0, 100.0},
    };
    for (const Bounds &b : bounds) {
        b.field->minimum = b.minimum;
        b.field->maximum = b.maximum;
    }
}

void mainForm::connectTrafficViews()
{
    if (commandStack) {
        using Stack = BusinessLogic::CommandStack;
        connect(commandStack, &Stack::sendLastCommandInvalidPositions, this,
                &mainForm::formatRawDataTxPos);
        connect(commandStack, &Stack::sendLastCommandInvalidReasons, this,
                &mainForm::formatRawDataTxReasons);
        connect(commandStack, &Stack::sendLastAnswerInvalidPositions, this,
                &mainForm::formatRawDataRxPos);
        connect(commandStack, &Stack::sendLastAnswerInvalidReasons, this,
                &mainForm::formatRawDataRxReasons);
        connect(commandStack, &Stack::sendLastCommand, this, &mainForm::displayRawDataTx);
        connect(commandStack, &Stack::sendLastAnswer, this, &mainForm::displayRawDataRx);
    }
    connect(ui->buttonClearAll, &QPushButton::clicked, ui->textEditRxData, &QTextEdit::clear);
    connect(ui->buttonClearAll, &QPushButton::clicked, ui->textEditTxData, &QTextEdit::clear);
}

void mainForm::formatRawDataTxPos(std::vector<int> positions)
{
    txPositions = std::move(positions);
}

void mainForm::formatRawDataTxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    txReasons = std::move(reasons);
}

void mainForm::formatRawDataRxPos(std::vector<int> positions)
{
    rxPositions = std::move(positions);
}

void mainForm::formatRawDataRxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    rxReasons = std::move(reasons);
}

int mainForm::appendTrafficLine(QTextEdit *view, const std::string &line, int stampLength)
{
    const QString text = QString::fromLatin1(line.data(), int(line.size()));
    const int stamp = std::clamp(stampLength, 0, text.size());
    // Follow the newest line only while the operator has not scrolled back.
    QScrollBar *bar = view->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();

    view->setTextColor(Qt::blue);
    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    if (!view->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), colourFormat(Qt::blue));
    cursor.insertText(text.left(stamp), colourFormat(Qt::blue));
    view->setTextColor(Qt::black);
    cursor.insertText(text.mid(stamp), colourFormat(Qt::black));

    if (atBottom)
        bar->setValue(bar->maximum());
    // An escaped last byte ends in an apostrophe: the mark covers its six characters.
    return !line.empty() && line.back() == '\'' ? 6 : 1;
}

void mainForm::displayRawDataTx(std::string *line)
{
    if (!line)
        return;
    QTextEdit *view = ui->textEditTxData;
    const int stamp = commandStack ? commandStack->txStampLength() : 0;
    const int markWidth = appendTrafficLine(view, *line, stamp);
    QTextCursor mark = markOfLastParagraph(view->document(), markWidth);
    for (const BusinessLogic::InvalidReason reason : txReasons) {
        if (reason == BusinessLogic::InvalidLRC)
            mark.mergeCharFormat(colourFormat(Qt::red));
    }
    if (txReasons.empty())
        mark.mergeCharFormat(colourFormat(Qt::darkGreen));
}

void mainForm::displayRawDataRx(std::string *line)
{
    if (!line)
        return;
    QTextEdit *view = ui->textEditRxData;
    const int stamp = commandStack ? commandStack->rxStampLength() : 0;
    const int markWidth = appendTrafficLine(view, *line, stamp);
    QTextCursor mark = markOfLastParagraph(view->document(), markWidth);
    for (const BusinessLogic::InvalidReason reason : rxReasons) {
        switch (reason) {
        case BusinessLogic::InvalidLRC:
            mark.setCharFormat(colourFormat(Qt::red));
            break;
        case BusinessLogic::ACK:
            mark.setCharFormat(colourFormat(Qt::darkGreen));
            break;
        case BusinessLogic::NAK:
            mark.setCharFormat(colourFormat(Qt::magenta));
            break;
        }
        view->moveCursor(QTextCursor::End);
    }
    if (rxReasons.empty())
        mark.setCharFormat(colourFormat(Qt::darkGreen));
}
