#pragma once

#include <QString>
#include <QStringList>

// Who may do something over SiLA: nobody, every client, or only the clients named by the common
// names of their certificates. A name is only worth something when the server verified the
// certificate against the lab's client authority; without one no client has a name.
class SilaPermission
{
public:
    // X.509 bounds a common name to 64 characters; a list beyond this many is no lab's.
    static constexpr int MaxNameLength = 64;
    static constexpr int MaxNames = 64;

    SilaPermission() = default; // nobody
    SilaPermission(bool allowed, const QStringList &names = {});

    // "CN1, CN2": the names, trimmed. False with the reason for an empty name, a control
    // character, a name too long or too many.
    static bool parseNames(const QString &text, QStringList *names, QString *why);

    bool someone() const { return allowed; }
    bool everyone() const { return allowed && clients.isEmpty(); }
    const QStringList &names() const { return clients; }
    // client: the verified common name of the caller's certificate, empty without one.
    bool allows(const QString &client) const;
    // "allowed", "not allowed" or "allowed for lab-a, lab-b".
    QString text() const;
    // Why a client that allows() refuses is refused, when some are allowed: "only lab-a may,
    // not lab-b". Empty when nobody is.
    QString refusal(const QString &client) const;

private:
    bool allowed = false;
    QStringList clients; // empty: every client
};
