#pragma once

#include <QString>

#include <memory>
#include <optional>

class QTranslator;

// The language of the window: German or English. It comes from the system's locale unless the
// stored setting or --lang names one. Only the window is translated: the pump's protocol, the
// CSV, JSON, MQTT and SiLA outputs and dosetta-cli stay English with a decimal point.
class WindowLanguage
{
public:
    // The codes --lang and the setting take.
    static constexpr const char *German = "de";
    static constexpr const char *English = "en";

    // "de" or "en" for a code the program knows (case and blanks aside), nothing otherwise.
    static std::optional<QString> parse(const QString &code);
    // "de" when the system's locale is German, else "en".
    static QString fromSystem();
    // The stored choice, "de" or "en"; empty when the window follows the system.
    static QString stored();
    // Stores the choice; an empty code means: follow the system.
    static void store(const QString &code);
    // The language to start in: the command line's, else the stored one, else the system's.
    static QString choose(const QString &commandLine);

    // Sets the default locale (no thousands separator: the window shows set-points, never
    // thousands) and installs the translations of the window and of Qt's own dialogs. Call after
    // the application object exists and before the window is made; keep the object alive.
    explicit WindowLanguage(const QString &code);
    ~WindowLanguage();

    WindowLanguage(const WindowLanguage &) = delete;
    WindowLanguage &operator=(const WindowLanguage &) = delete;

    QString code() const { return language; }
    // Whether the window's own translation was found and installed (always false for English).
    bool translated() const { return windowLoaded; }

    // Where the window's .qm files are looked for: beside the program, then the installed
    // share folder.
    static QStringList translationFolders();

private:
    QString language;
    bool windowLoaded = false;
    std::unique_ptr<QTranslator> window;
    std::unique_ptr<QTranslator> qtDialogs;
};
