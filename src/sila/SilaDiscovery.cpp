#include "sila/SilaDiscovery.h"

#include <QList>
#include <QMetaObject>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>

namespace {

const char *const ServiceType = "_sila._tcp";
// Without even a system bus, Avahi's client cannot wait for the daemon itself: tried again.
constexpr unsigned RetryS = 3;
// A TXT string holds at most 255 bytes, "key=" included.
constexpr int MaxTxtString = 255;

// Cut to at most max bytes of UTF-8 without splitting a character.
QByteArray utf8Within(const QString &text, int max)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= max)
        return bytes;
    int end = max;
    while (end > 0 && (uchar(bytes[end]) & 0xc0) == 0x80)
        --end;
    return bytes.left(end);
}

QList<QByteArray> txtStrings(const SilaDiscovery::Record &record)
{
    QList<QByteArray> strings;
    const auto add = [&](const QByteArray &key, const QString &value) {
        strings << key + '=' + utf8Within(value, MaxTxtString - key.size() - 1);
    };
    add("version", record.version);
    add("server_name", record.serverName);
    add("description", record.description);
    int n = 0;
    for (const QByteArray &line : record.caPem.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            add("ca" + QByteArray::number(n++), QString::fromLatin1(trimmed));
    }
    return strings;
}

} // namespace

// Everything below the poll's lock is touched on Avahi's thread (its callbacks run there with
// the lock held) or on the Qt thread with the lock taken; the Qt side hears of it only through
// queued calls.
struct SilaDiscovery::Private
{
    SilaDiscovery *q = nullptr;
    AvahiThreadedPoll *poll = nullptr;
    AvahiClient *client = nullptr;
    AvahiEntryGroup *group = nullptr;
    AvahiTimeout *retry = nullptr;
    bool waiting = false; // for a daemon, and said so
    bool wanted = false;  // publish() called and not withdrawn
    Record record;
    QByteArray instance; // the UUID, or Avahi's alternative after a collision
    QString lastProblem; // said once until it changes or the announcement succeeds

    void report(const QString &reason)
    {
        if (reason == lastProblem)
            return;
        lastProblem = reason;
        // Dropped by Qt when the object is gone before the call comes.
        SilaDiscovery *target = q;
        QMetaObject::invokeMethod(
            q, [target, reason] { emit target->problem(reason); }, Qt::QueuedConnection);
    }

    void announced()
    {
        lastProblem.clear();
        const QString name = QString::fromUtf8(instance);
        SilaDiscovery *target = q;
        QMetaObject::invokeMethod(
            q, [target, name] { emit target->announced(name); }, Qt::QueuedConnection);
    }

    AvahiStringList *txt() const
    {
        AvahiStringList *list = nullptr;
        const QList<QByteArray> strings = txtStrings(record);
        // Prepended one by one: in reverse, so the record reads in this order.
        for (auto it = strings.crbegin(); it != strings.crend(); ++it)
            list = avahi_string_list_add_arbitrary(
                list, reinterpret_cast<const uint8_t *>(it->constData()), size_t(it->size()));
        return list;
    }

    void connectClient()
    {
        int error = 0;
        // NO_FAIL: without a daemon the client waits for one instead of failing.
        client = avahi_client_new(avahi_threaded_poll_get(poll), AVAHI_CLIENT_NO_FAIL,
                                  &Private::clientChanged, this, &error);
        if (client != nullptr)
            return;
        waitForDaemon();
        retryLater();
    }

    // Said once, whether the daemon was never there or went away.
    void waitForDaemon()
    {
        if (!waiting)
            report(noDaemon());
        waiting = true;
    }

    void retryLater()
    {
        const AvahiPoll *api = avahi_threaded_poll_get(poll);
        timeval when{};
        avahi_elapse_time(&when, RetryS * 1000, 0);
        if (retry == nullptr)
            retry = api->timeout_new(api, &when, &Private::retryNow, this);
        else
            api->timeout_update(retry, &when);
    }

    static QString noDaemon()
    {
        return QStringLiteral("no Avahi daemon; the server is announced when one starts");
    }

    static void retryNow(AvahiTimeout *, void *data)
    {
        auto *d = static_cast<Private *>(data);
        if (d->client == nullptr)
            d->connectClient();
    }

    void dropClient()
    {
        // Freeing the client frees its groups.
        group = nullptr;
        if (client != nullptr)
            avahi_client_free(client);
        client = nullptr;
    }

    void announce()
    {
        if (!wanted || client == nullptr ||
            avahi_client_get_state(client) != AVAHI_CLIENT_S_RUNNING)
            return;
        if (group == nullptr) {
            group = avahi_entry_group_new(client, &Private::groupChanged, this);
            if (group == nullptr) {
                report(QStringLiteral("cannot announce the server: %1")
                           .arg(avahi_strerror(avahi_client_errno(client))));
                return;
            }
        } else {
            avahi_entry_group_reset(group);
        }
        AvahiStringList *strings = txt();
        const int result = avahi_entry_group_add_service_strlst(
            group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), instance.constData(),
            ServiceType, nullptr, nullptr, record.port, strings);
        avahi_string_list_free(strings);
        if (result == AVAHI_ERR_COLLISION) {
            rename();
            return;
        }
        if (result < 0 || avahi_entry_group_commit(group) < 0)
            report(QStringLiteral("cannot announce the server: %1")
                       .arg(avahi_strerror(result < 0 ? result : avahi_client_errno(client))));
    }

    // Another service holds the name: Avahi's alternative ("<uuid> #2"), as it recommends.
    void rename()
    {
        char *next = avahi_alternative_service_name(instance.constData());
        report(QStringLiteral("the name %1 is taken on the network; announcing as %2")
                   .arg(QString::fromUtf8(instance), QString::fromUtf8(next)));
        instance = next;
        avahi_free(next);
        announce();
    }

    static void clientChanged(AvahiClient *c, AvahiClientState state, void *data)
    {
        auto *d = static_cast<Private *>(data);
        d->client = c; // the first call comes before avahi_client_new returns
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            d->waiting = false;
            d->announce();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host's own name is being settled: announced again once it runs.
            if (d->group != nullptr)
                avahi_entry_group_reset(d->group);
            break;
        case AVAHI_CLIENT_CONNECTING:
            d->waitForDaemon();
            break;
        case AVAHI_CLIENT_FAILURE:
            if (avahi_client_errno(c) == AVAHI_ERR_DISCONNECTED) {
                // The daemon went away: a new client waits for it to come back.
                d->report(QStringLiteral("lost the Avahi daemon; the server is announced again "
                                         "when it returns"));
                d->waiting = true;
                d->dropClient();
                d->connectClient();
            } else {
                d->report(
                    QStringLiteral("Avahi failed: %1").arg(avahi_strerror(avahi_client_errno(c))));
                d->dropClient();
                d->retryLater();
            }
            break;
        }
    }

    static void groupChanged(AvahiEntryGroup *g, AvahiEntryGroupState state, void *data)
    {
        auto *d = static_cast<Private *>(data);
        if (g != d->group && d->group != nullptr)
            return;
        switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            d->announced();
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            d->rename();
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            d->report(
                QStringLiteral("cannot announce the server: %1")
                    .arg(avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g)))));
            break;
        case AVAHI_ENTRY_GROUP_UNCOMMITED:
        case AVAHI_ENTRY_GROUP_REGISTERING:
            break;
        }
    }
};

SilaDiscovery::SilaDiscovery(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
}

SilaDiscovery::~SilaDiscovery()
{
    if (d->poll == nullptr)
        return;
    avahi_threaded_poll_stop(d->poll);
    // The poll thread is gone: freeing the client withdraws the record.
    d->dropClient();
    if (d->retry != nullptr)
        avahi_threaded_poll_get(d->poll)->timeout_free(d->retry);
    avahi_threaded_poll_free(d->poll);
}

void SilaDiscovery::publish(const Record &record)
{
    if (d->poll == nullptr) {
        d->poll = avahi_threaded_poll_new();
        if (d->poll == nullptr) {
            d->report(QStringLiteral("cannot use Avahi: no poll thread"));
            return;
        }
        d->wanted = true;
        d->record = record;
        d->instance = utf8Within(record.uuid, 63); // a DNS label's limit
        // Before the thread runs, the client's first callbacks come on this thread.
        d->connectClient();
        if (avahi_threaded_poll_start(d->poll) < 0)
            d->report(QStringLiteral("cannot use Avahi: no poll thread"));
        return;
    }
    avahi_threaded_poll_lock(d->poll);
    const bool sameService =
        d->wanted && record.uuid == d->record.uuid && record.port == d->record.port;
    d->wanted = true;
    d->record = record;
    if (sameService && d->group != nullptr &&
        avahi_entry_group_get_state(d->group) == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        // Only the TXT changed (a new name): updated in place, without a goodbye.
        AvahiStringList *strings = d->txt();
        const int result = avahi_entry_group_update_service_txt_strlst(
            d->group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
            d->instance.constData(), ServiceType, nullptr, strings);
        avahi_string_list_free(strings);
        if (result < 0)
            d->report(
                QStringLiteral("cannot change the announcement: %1").arg(avahi_strerror(result)));
    } else {
        if (!sameService)
            d->instance = utf8Within(record.uuid, 63);
        d->announce();
    }
    avahi_threaded_poll_unlock(d->poll);
}

void SilaDiscovery::withdraw()
{
    if (d->poll == nullptr)
        return;
    avahi_threaded_poll_lock(d->poll);
    d->wanted = false;
    if (d->group != nullptr)
        avahi_entry_group_reset(d->group);
    avahi_threaded_poll_unlock(d->poll);
}
