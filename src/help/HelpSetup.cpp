#include "help/HelpSetup.h"

#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"

#include <QBoxLayout>
#include <QHelpContentWidget>
#include <QHelpEngine>

HelpSetup::Parts HelpSetup::build(QObject *engineParent, QWidget *helpTab)
{
    Parts parts;
    parts.engine = new QHelpEngine(HelpCollection::locate(), engineParent);
    parts.engine->setupData();
    // A collection that fails to open leaves an empty tree: help stays silent, never blocks.
    (void)parts.engine->error();

    parts.contents = parts.engine->contentWidget();
    parts.contents->setFont(QFont(QStringLiteral("Arial"), 10));
    parts.contents->setMinimumSize(0, 0);
    parts.contents->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

    parts.browser = new HelpBrowser(parts.engine);
    parts.browser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto *layout = new QBoxLayout(QBoxLayout::LeftToRight, helpTab);
    layout->addWidget(parts.contents);
    layout->addWidget(parts.browser);

    QObject::connect(parts.contents, &QHelpContentWidget::linkActivated, parts.browser,
                     [browser = parts.browser](const QUrl &url) { browser->setSource(url); });
    return parts;
}

void HelpSetup::showPage(const Parts &parts, const QUrl &url)
{
    if (parts.contents == nullptr)
        return;
    const QModelIndex index = parts.contents->indexOf(url);
    if (index.isValid())
        parts.contents->expand(index);
    emit parts.contents->linkActivated(url);
}
