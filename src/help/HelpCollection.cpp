#include "help/HelpCollection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString HelpCollection::locate()
{
    const QString inWorkingDir = QFileInfo(QString::fromLatin1(RelativePath)).absoluteFilePath();
    QStringList candidates{inWorkingDir};
    if (QCoreApplication::instance() != nullptr)
        candidates << QDir(QCoreApplication::applicationDirPath())
                          .filePath(QStringLiteral("doc/HelpContentCol.qhc"))
                   // an installed program finds its data beside its bin/, whatever the prefix
                   << QDir(QCoreApplication::applicationDirPath())
                          .filePath(QStringLiteral("../share/dosetta/doc/HelpContentCol.qhc"));
#ifdef DOSETTA_HELP_INSTALL_DIR
    candidates << QDir(QStringLiteral(DOSETTA_HELP_INSTALL_DIR))
                      .filePath(QStringLiteral("HelpContentCol.qhc"));
#endif
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return inWorkingDir;
}

QUrl HelpCollection::pageUrl(const QString &page)
{
    return QUrl(QStringLiteral("qthelp://%1/doc/%2").arg(QLatin1String(Namespace), page));
}
