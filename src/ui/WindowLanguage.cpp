#include "ui/WindowLanguage.h"

#include "platform/InstanceSettings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace {

// Machine-wide, not per instance: every copy of the window speaks the same language.
QString settingKey()
{
    return QStringLiteral("Window/Language");
}

} // namespace

std::optional<QString> WindowLanguage::parse(const QString &code)
{
    const QString c = code.trimmed().toLower();
    if (c == QLatin1String(German) || c == QLatin1String(English))
        return c;
    return std::nullopt;
}

QString WindowLanguage::fromSystem()
{
    return QLocale::system().language() == QLocale::German ? QString::fromLatin1(German)
                                                           : QString::fromLatin1(English);
}

QString WindowLanguage::stored()
{
    InstanceSettings::setApplicationNames();
    const QSettings settings;
    return parse(settings.value(settingKey()).toString()).value_or(QString());
}

void WindowLanguage::store(const QString &code)
{
    InstanceSettings::setApplicationNames();
    QSettings settings;
    const std::optional<QString> known = parse(code);
    if (known)
        settings.setValue(settingKey(), *known);
    else
        settings.remove(settingKey());
}

QString WindowLanguage::choose(const QString &commandLine)
{
    if (const std::optional<QString> given = parse(commandLine))
        return *given;
    const QString kept = stored();
    return kept.isEmpty() ? fromSystem() : kept;
}

QStringList WindowLanguage::translationFolders()
{
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
            QStringLiteral(DOSETTA_TRANSLATIONS_INSTALL_DIR)};
}

WindowLanguage::WindowLanguage(const QString &code)
    : language(parse(code).value_or(QString::fromLatin1(English)))
{
    const bool german = language == QLatin1String(German);
    QLocale locale(german ? QLocale::German : QLocale::English,
                   german ? QLocale::Germany : QLocale::UnitedStates);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(locale);
    if (!german)
        return;
    window = std::make_unique<QTranslator>();
    for (const QString &folder : translationFolders()) {
        if (window->load(QStringLiteral("dosetta_de"), folder)) {
            windowLoaded = QCoreApplication::installTranslator(window.get());
            break;
        }
    }
    // Qt's file dialog and message box buttons, from Debian's qttranslations5-l10n.
    qtDialogs = std::make_unique<QTranslator>();
    if (qtDialogs->load(QStringLiteral("qtbase_de"),
                        QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtDialogs.get());
}

WindowLanguage::~WindowLanguage()
{
    if (window)
        QCoreApplication::removeTranslator(window.get());
    if (qtDialogs)
        QCoreApplication::removeTranslator(qtDialogs.get());
}
