#pragma once

#include <QLocale>
#include <QString>
#include <QUrl>

// Where the help collection is and how its pages are addressed.
class HelpCollection
{
public:
    static constexpr const char *Namespace = "halvo.dosetta.1.0";
    static constexpr const char *RelativePath = "./doc/HelpContentCol.qhc";
    // The dynamic property that carries a widget's page name.
    static constexpr const char *PageProperty = "What's this property";

    // "./doc/HelpContentCol.qhc" in the working directory first, then beside the executable, then
    // in the installed data directory: the first that opens; the working-directory path when
    // none does. In German (QLocale()) each place's "de/" is tried before its English one.
    static QString locate();
    static QString locate(QLocale::Language language);
    // True for a file that can be read and is a collection database.
    static bool opens(const QString &path);
    // "qthelp://halvo.dosetta.1.0/doc/" followed by the page name. Both languages' collections
    // share the namespace and the page names, so a page's URL is the same in either.
    static QUrl pageUrl(const QString &page);
    static QUrl indexUrl() { return pageUrl(QStringLiteral("index.html")); }
};
