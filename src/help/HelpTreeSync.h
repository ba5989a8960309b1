#pragma once

#include <QObject>

class QHelpContentWidget;
class QModelIndex;
class QTextBrowser;
class QUrl;

// Keeps the Help tab's contents tree and its browser together: one click on a topic opens it
// (the tree's own signal wants a double click or Enter), and the tree selects the page the
// browser shows, however it got there: a topic, a link in a page, F1 or What's This.
class HelpTreeSync : public QObject
{
    Q_OBJECT

public:
    // Parented to the browser.
    HelpTreeSync(QHelpContentWidget *contents, QTextBrowser *browser);

private:
    void open(const QModelIndex &index);
    void follow(const QUrl &url);

    QHelpContentWidget *contents;
    QTextBrowser *browser;
};
