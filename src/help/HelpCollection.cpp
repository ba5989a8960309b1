#include "help/HelpCollection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString HelpCollection::locate()
{
    return locate(QLocale().language());
}

QString HelpCollection::locate(QLocale::Language language)
{
    const QString inWorkingDir = QFileInfo(QString::fromLatin1(RelativePath)).absoluteFilePath();
    QStringList places{QFileInfo(inWorkingDir).absolutePath()};
    if (QCoreApplication::instance() != nullptr)
        places << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("doc"))
               // an installed program finds its data beside its bin/, whatever the prefix
               << QDir(QCoreApplication::applicationDirPath())
                      .filePath(QStringLiteral("../share/dosetta/doc"));
#ifdef DOSETTA_HELP_INSTALL_DIR
    places << QStringLiteral(DOSETTA_HELP_INSTALL_DIR);
#endif
    const QString file = QFileInfo(inWorkingDir).fileName();
    QStringList candidates;
    for (const QString &place : places) {
        if (language == QLocale::German)
            candidates << QDir(place).filePath(QStringLiteral("de/") + file);
        candidates << QDir(place).filePath(file);
    }
    for (const QString &candidate : candidates) {
        if (opens(candidate))
            return candidate;
    }
    return inWorkingDir;
}

bool HelpCollection::opens(const QString &path)
{
    // A collection is an SQLite file. The help engine complains on standard error about any file
    // it cannot open, so only a readable file with the right header is handed to it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3", 16);
}

QUrl HelpCollection::pageUrl(const QString &page)
{
    return QUrl(QStringLiteral("qthelp://%1/doc/%2").arg(QLatin1String(Namespace), page));
}
