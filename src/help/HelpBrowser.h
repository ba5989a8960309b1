#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <QVariant>

class QHelpEngineCore;

// Shows help pages; pages, their images and linked pages load from the help collection.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(QHelpEngineCore *helpEngine, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &url) override;

public slots:
    void setHyperlink(QUrl url);
    QVariant getHelpTextCurrentlySelected();

private:
    QUrl hyperlink;
    QHelpEngineCore *helpEngine;
};
