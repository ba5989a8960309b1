#include "help/HelpBrowser.h"

#include <QHelpEngineCore>

HelpBrowser::HelpBrowser(QHelpEngineCore *helpEngine, QWidget *parent)
    : QTextBrowser(parent)
    , helpEngine(helpEngine)
{}

QVariant HelpBrowser::loadResource(int type, const QUrl &url)
{
    if (url.scheme() == QLatin1String("qthelp"))
        return helpEngine->fileData(url);
    return QTextBrowser::loadResource(type, url);
}

void HelpBrowser::setHyperlink(QUrl url)
{
    hyperlink = std::move(url);
}

QVariant HelpBrowser::getHelpTextCurrentlySelected()
{
    return loadResource(QTextDocument::HtmlResource, hyperlink);
}
