#include "help/HelpTreeSync.h"

#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QTextBrowser>

HelpTreeSync::HelpTreeSync(QHelpContentWidget *contents, QTextBrowser *browser)
    : QObject(browser)
    , contents(contents)
    , browser(browser)
{
    connect(contents, &QAbstractItemView::clicked, this, &HelpTreeSync::open);
    connect(browser, &QTextBrowser::sourceChanged, this, &HelpTreeSync::follow);
    // The tree is filled in the background after start: a page shown before then is selected
    // once it is there.
    if (auto *model = qobject_cast<QHelpContentModel *>(contents->model()))
        connect(model, &QHelpContentModel::contentsCreated, this,
                [this] { follow(this->browser->source()); });
}

void HelpTreeSync::open(const QModelIndex &index)
{
    auto *model = qobject_cast<QHelpContentModel *>(contents->model());
    const QHelpContentItem *item = model != nullptr ? model->contentItemAt(index) : nullptr;
    if (item == nullptr || !item->url().isValid())
        return;
    // The tree's own way to a page, as a double click takes it.
    emit contents->linkActivated(item->url());
}

void HelpTreeSync::follow(const QUrl &url)
{
    const QModelIndex index = contents->indexOf(url);
    if (!index.isValid())
        return;
    contents->setCurrentIndex(index);
    contents->scrollTo(index); // unfolds the topics above it
}
