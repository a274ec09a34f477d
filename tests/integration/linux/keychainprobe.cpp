// Runs one keychain operation in a process of its own and prints the resulting status and how often a 10 ms timer of
// the main thread fired meanwhile, so that tests can point a keychain at a different session bus (each process
// connects to one bus, once) and see that the event loop kept running.
//
//   keychainprobe read|add <service> <account> <reply seconds> <prompt seconds>
//   keychainprobe occupy    takes the Secret Service's bus name, prints "ready" and never answers a call
#include "platform/linux/secretservicekeychain.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QTimer>

#include <cstdio>
#include <gio/gio.h>
#include <unistd.h>

namespace {

int occupy()
{
    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        std::fprintf(stderr, "no bus: %s\n", error->message);
        return 2;
    }
    GVariant *reply =
        g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 4u),
                                    G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "name not taken: %s\n", error->message);
        return 2;
    }
    g_variant_unref(reply);
    std::printf("ready\n");
    std::fflush(stdout);
    // The test stops this process, so calls to the name are never answered.
    for (;;) {
        pause();
    }
}

QCoro::Task<> probe(QStringList arguments, int &status)
{
    const SecretServiceLimits limits{.replySeconds = arguments.value(4).toDouble(),
                                     .promptSeconds = arguments.value(5).toDouble()};
    SecretServiceKeychain keychain(limits);
    if (arguments.value(1) == QStringLiteral("add")) {
        QCoro::Task<int> adding = keychain.add(arguments.value(2), arguments.value(3), QByteArrayLiteral("probe"));
        status = co_await std::move(adding);
    } else {
        QCoro::Task<Keychain::ReadResult> reading = keychain.read(arguments.value(2), arguments.value(3));
        const Keychain::ReadResult result = co_await std::move(reading);
        status = result.status;
    }
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QStringLiteral("occupy")) {
        return occupy();
    }
    if (arguments.size() != 6) {
        std::fprintf(stderr, "usage: keychainprobe read|add <service> <account> <reply s> <prompt s> | occupy\n");
        return 2;
    }
    int status = 1;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app, [&ticks] { ++ticks; });
    ticker.start(10);
    QTimer::singleShot(0, &app, [&] { probe(arguments, status); });
    app.exec();
    std::printf("%d %d\n", status, ticks);
    return 0;
}
