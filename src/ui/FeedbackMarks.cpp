#include "ui/FeedbackMarks.h"

#include <QBoxLayout>
#include <QLabel>

namespace {

const QString rowName = QStringLiteral("feedbackMarksRow");

} // namespace

QLabel *FeedbackMarks::add(QLabel *feedbackLabel, const QString &text, const char *objectName)
{
    if (feedbackLabel == nullptr || feedbackLabel->parentWidget() == nullptr)
        return nullptr;
    QWidget *frame = feedbackLabel->parentWidget();
    auto *mark = new QLabel(text, frame);
    mark->setObjectName(QLatin1String(objectName));
    mark->setAlignment(Qt::AlignCenter);
    mark->hide();
    auto *column = qobject_cast<QBoxLayout *>(frame->layout());
    if (column == nullptr)
        return mark;
    auto *row = column->findChild<QHBoxLayout *>(rowName);
    if (row == nullptr) {
        const int at = column->indexOf(feedbackLabel);
        if (at < 0)
            return mark;
        column->removeWidget(feedbackLabel);
        row = new QHBoxLayout;
        row->setObjectName(rowName);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(feedbackLabel, 1);
        column->insertLayout(at, row);
    }
    row->addWidget(mark, 0, Qt::AlignRight | Qt::AlignVCenter);
    return mark;
}

QLabel *FeedbackMarks::addLineAbove(QLabel *label, const char *objectName)
{
    if (label == nullptr || label->parentWidget() == nullptr)
        return nullptr;
    auto *line = new QLabel(label->parentWidget());
    line->setObjectName(QLatin1String(objectName));
    line->setWordWrap(true);
    if (auto *column = qobject_cast<QBoxLayout *>(label->parentWidget()->layout())) {
        const int at = column->indexOf(label);
        column->insertWidget(at < 0 ? 0 : at, line);
    }
    return line;
}
