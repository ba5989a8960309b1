#include "help/HelpSetup.h"

#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"
#include "help/HelpTreeSync.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>

HelpSetup::Parts HelpSetup::build(QObject *engineParent, QWidget *helpTab)
{
    Parts parts;
    const QString collection = HelpCollection::locate();
    const bool found = HelpCollection::opens(collection);
    // The engine over no file at all has an empty tree and says nothing; over a file it cannot
    // open it would warn on standard error, at start and again at the end.
    parts.engine = new QHelpEngine(found ? collection : QString(), engineParent);
    parts.engine->setupData();

    parts.contents = parts.engine->contentWidget();
    parts.contents->setFont(QFont(QStringLiteral("Arial"), 10));
    parts.contents->setMinimumSize(0, 0);
    parts.contents->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

    parts.browser = new HelpBrowser(parts.engine);
    parts.browser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    if (!found) {
        parts.browser->setPlainText(
            QCoreApplication::translate("mainScreen", "The help collection was not found or "
                                                      "cannot be read: %1")
                .arg(QFileInfo(collection).absoluteFilePath()));
    }

    auto *layout = new QBoxLayout(QBoxLayout::LeftToRight, helpTab);
    layout->addWidget(parts.contents);
    layout->addWidget(parts.browser);

    QObject::connect(parts.contents, &QHelpContentWidget::linkActivated, parts.browser,
                     [browser = parts.browser](const QUrl &url) { browser->setSource(url); });
    new HelpTreeSync(parts.contents, parts.browser);
    return parts;
}

void HelpSetup::showPage(const Parts &parts, const QUrl &url)
{
    if (parts.contents == nullptr)
        return;
    // Without a collection the browser keeps saying so instead of going blank.
    if (parts.engine->collectionFile().isEmpty())
        return;
    const QModelIndex index = parts.contents->indexOf(url);
    if (index.isValid())
        parts.contents->expand(index);
    emit parts.contents->linkActivated(url);
}
