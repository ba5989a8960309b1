#include "ui/TrafficView.h"

#include "BusinessLogic/CommandStack.h"
#include "serial/Communication.h"
#include "ui/StyleSheets.h"

#include <QAbstractButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

namespace {

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

TrafficView::TrafficView(const Parts &parts, QObject *parent)
    : QObject(parent)
    , parts(parts)
{
    if (parts.stack != nullptr) {
        using Stack = BusinessLogic::CommandStack;
        connect(parts.stack, &Stack::sendLastCommandInvalidPositions, this,
                &TrafficView::formatTxPos);
        connect(parts.stack, &Stack::sendLastCommandInvalidReasons, this,
                &TrafficView::formatTxReasons);
        connect(parts.stack, &Stack::sendLastAnswerInvalidPositions, this,
                &TrafficView::formatRxPos);
        connect(parts.stack, &Stack::sendLastAnswerInvalidReasons, this,
                &TrafficView::formatRxReasons);
        connect(parts.stack, &Stack::sendLastCommand, this, &TrafficView::displayTx);
        connect(parts.stack, &Stack::sendLastAnswer, this, &TrafficView::displayRx);
    }
    connect(parts.clearAll, &QAbstractButton::clicked, parts.rx, &QTextEdit::clear);
    connect(parts.clearAll, &QAbstractButton::clicked, parts.tx, &QTextEdit::clear);
    parts.tx->document()->setMaximumBlockCount(Blocks);
    parts.rx->document()->setMaximumBlockCount(Blocks);
    follow(parts.tx, txFollowing);
    follow(parts.rx, rxFollowing);
}

void TrafficView::follow(QTextEdit *view, bool &following)
{
    // A view lays its lines out late (not at all while its tab is hidden), so the bar's range
    // grows after the line went in: keep to the bottom whenever it grows, unless the operator
    // scrolled back.
    QScrollBar *bar = view->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [bar, &following](int value) { following = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [bar, &following](int, int maximum) {
        if (following)
            bar->setValue(maximum);
    });
}

void TrafficView::formatTxPos(std::vector<int> positions)
{
    txPositions = std::move(positions);
}

void TrafficView::formatTxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    txReasons = std::move(reasons);
}

void TrafficView::formatRxPos(std::vector<int> positions)
{
    rxPositions = std::move(positions);
}

void TrafficView::formatRxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    rxReasons = std::move(reasons);
}

int TrafficView::appendLine(QTextEdit *view, const std::string &line, int stampLength)
{
    const QString text = QString::fromLatin1(line.data(), int(line.size()));
    const int stamp = std::clamp(stampLength, 0, text.size());
    // Follow the newest line only while the operator has not scrolled back.
    QScrollBar *bar = view->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();

    view->setTextColor(StyleSheets::trafficStamp);
    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    if (!view->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), colourFormat(StyleSheets::trafficStamp));
    cursor.insertText(text.left(stamp), colourFormat(StyleSheets::trafficStamp));
    view->setTextColor(StyleSheets::trafficFrame);
    cursor.insertText(text.mid(stamp), colourFormat(StyleSheets::trafficFrame));

    if (atBottom)
        bar->setValue(bar->maximum());
    // An escaped last byte ends in an apostrophe: the mark covers its six characters.
    return !line.empty() && line.back() == '\'' ? 6 : 1;
}

void TrafficView::displayTx(std::string *line)
{
    if (!line)
        return;
    QTextEdit *view = parts.tx;
    const int stamp = parts.stack ? parts.stack->txStampLength() : 0;
    const int markWidth = appendLine(view, *line, stamp);
    QTextCursor mark = markOfLastParagraph(view->document(), markWidth);
    for (const BusinessLogic::InvalidReason reason : txReasons) {
        if (reason == BusinessLogic::InvalidLRC)
            mark.mergeCharFormat(colourFormat(StyleSheets::trafficCheckBad));
    }
    if (txReasons.empty())
        mark.mergeCharFormat(colourFormat(StyleSheets::trafficCheckGood));
}

void TrafficView::displayRx(std::string *line)
{
    if (!line)
        return;
    QTextEdit *view = parts.rx;
    const int stamp = parts.stack ? parts.stack->rxStampLength() : 0;
    if (parts.link != nullptr && !parts.link->portOpen &&
        QString::fromLatin1(line->data(), int(line->size())).mid(stamp).trimmed().isEmpty())
        return;
    const int markWidth = appendLine(view, *line, stamp);
    QTextCursor mark = markOfLastParagraph(view->document(), markWidth);
    for (const BusinessLogic::InvalidReason reason : rxReasons) {
        switch (reason) {
        case BusinessLogic::InvalidLRC:
            mark.setCharFormat(colourFormat(StyleSheets::trafficCheckBad));
            break;
        case BusinessLogic::ACK:
            mark.setCharFormat(colourFormat(StyleSheets::trafficCheckGood));
            break;
        case BusinessLogic::NAK:
            mark.setCharFormat(colourFormat(StyleSheets::trafficRefused));
            break;
        }
        view->moveCursor(QTextCursor::End);
    }
    if (rxReasons.empty())
        mark.setCharFormat(colourFormat(StyleSheets::trafficCheckGood));
}
