#include "platform/linux/secretserviceitems.h"

#include "platform/linux/keychainlog.h"
#include "platform/linux/secretservicecall.h"

#include <libsecret/secret.h>
#include <memory>

namespace {

using Result = Keychain::ReadResult;

const SecretSchema *genericPasswordSchema()
{
    static const SecretSchema schema = {
        "com.wordloom.GenericPassword",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &schema;
}

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
struct HashTableUnref
{
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
struct ValueUnref
{
    void operator()(SecretValue *value) const { secret_value_unref(value); }
};
struct ObjectListFree
{
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
};

template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using AttributesPtr = std::unique_ptr<GHashTable, HashTableUnref>;
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
using ObjectListPtr = std::unique_ptr<GList, ObjectListFree>;

// An output parameter for GLib calls that lands in an owning pointer.
class ErrorSlot
{
public:
    GError **operator&() { return &m_error; }
    ErrorPtr take() { return ErrorPtr(std::exchange(m_error, nullptr)); }
    ~ErrorSlot()
    {
        if (m_error) {
            g_error_free(m_error);
        }
    }

private:
    GError *m_error = nullptr;
};

bool isUnreachable(const GError *error)
{
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_FORK_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        case G_DBUS_ERROR_SPAWN_NO_MEMORY:
            return true;
        default:
            return false;
        }
    }
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CLOSED:
        case G_IO_ERROR_NOT_FOUND:
        case G_IO_ERROR_CONNECTION_REFUSED:
        case G_IO_ERROR_BROKEN_PIPE:
        case G_IO_ERROR_TIMED_OUT:
        case G_IO_ERROR_DBUS_ERROR:
        case G_IO_ERROR_PERMISSION_DENIED:
            return true;
        default:
            return false;
        }
    }
    return false;
}

int statusOf(const GError *error, SecretServiceCall::Phase phase)
{
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return phase == SecretServiceCall::Phase::Prompt ? KeychainStatus::interactionNotAllowed
                                                         : KeychainStatus::notAvailable;
    }
    if (error->domain == SECRET_ERROR) {
        switch (error->code) {
        case SECRET_ERROR_IS_LOCKED:
            return KeychainStatus::interactionNotAllowed;
        case SECRET_ERROR_NO_SUCH_OBJECT:
            return KeychainStatus::itemNotFound;
        case SECRET_ERROR_ALREADY_EXISTS:
            return KeychainStatus::duplicateItem;
        default:
            return KeychainStatus::unknownFailure;
        }
    }
    if (phase == SecretServiceCall::Phase::Prompt) {
        // A prompt that could not be shown, or that the service gave up on, leaves the keychain locked.
        return isUnreachable(error) ? KeychainStatus::notAvailable : KeychainStatus::interactionNotAllowed;
    }
    return isUnreachable(error) ? KeychainStatus::notAvailable : KeychainStatus::unknownFailure;
}

// Carries a failure status out of the steps of one operation.
struct Failure
{
    int status;
};

class Session
{
public:
    Session(SecretServiceCall &call, const QString &service, const QString &account)
        : m_call(call)
        , m_service(service.toUtf8())
        , m_account(account.toUtf8())
        , m_attributes(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free))
    {
        g_hash_table_insert(m_attributes.get(), g_strdup("service"), g_strdup(m_service.constData()));
        g_hash_table_insert(m_attributes.get(), g_strdup("account"), g_strdup(m_account.constData()));
    }

    void connect()
    {
        ErrorSlot error;
        m_secrets.reset(secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, m_call.cancellable(), &error));
        if (!m_secrets) {
            ErrorPtr failure = error.take();
            qCWarning(lcKeychain) << "Secret Service unavailable:" << (failure ? failure->message : "no reply");
            throw Failure{KeychainStatus::notAvailable};
        }
    }

    // The matching items, the most recently changed first; locked ones included.
    ObjectListPtr find()
    {
        ErrorSlot error;
        // No schema in the search: the service matches the schema name of a locked item's hashed attributes
        // against nothing, and locked items must be found to be unlocked. Items are identified by service and
        // account alone, whoever wrote them.
        GList *items = secret_service_search_sync(m_secrets.get(), nullptr, m_attributes.get(), SECRET_SEARCH_ALL,
                                                  m_call.cancellable(), &error);
        fail(error, "search");
        return ObjectListPtr(g_list_sort(items, [](gconstpointer left, gconstpointer right) {
            const guint64 leftModified = secret_item_get_modified(SECRET_ITEM(const_cast<gpointer>(left)));
            const guint64 rightModified = secret_item_get_modified(SECRET_ITEM(const_cast<gpointer>(right)));
            return leftModified > rightModified ? -1 : (leftModified < rightModified ? 1 : 0);
        }));
    }

    // Unlocks the locked ones among `objects` (items or collections), which may show the service's prompt.
    void unlock(GList *objects)
    {
        bool locked = false;
        for (GList *node = objects; node; node = node->next) {
            locked =
                locked || (SECRET_IS_ITEM(node->data) ? secret_item_get_locked(SECRET_ITEM(node->data))
                                                      : secret_collection_get_locked(SECRET_COLLECTION(node->data)));
        }
        if (!locked) {
            return;
        }
        qCInfo(lcKeychain) << "The keychain is locked; asking the Secret Service to unlock it";
        m_call.enterPhase(SecretServiceCall::Phase::Prompt);
        ErrorSlot error;
        GList *unlocked = nullptr;
        const gint count =
            secret_service_unlock_sync(m_secrets.get(), objects, m_call.cancellable(), &unlocked, &error);
        ObjectListPtr unlockedObjects(unlocked);
        fail(error, "unlock");
        m_call.enterPhase(SecretServiceCall::Phase::Reply);
        if (count == 0) {
            qCWarning(lcKeychain) << "The keychain stayed locked";
            throw Failure{KeychainStatus::interactionNotAllowed};
        }
    }

    // The default collection, created (through the service's prompt) when there is none, and unlocked.
    ObjectPtr<SecretCollection> defaultCollection()
    {
        ErrorSlot error;
        ObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
            m_secrets.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, m_call.cancellable(), &error));
        fail(error, "default collection");
        if (!collection) {
            qCInfo(lcKeychain) << "No default keyring; asking the Secret Service to create one";
            m_call.enterPhase(SecretServiceCall::Phase::Prompt);
            collection.reset(secret_collection_create_sync(m_secrets.get(), "Login", SECRET_COLLECTION_DEFAULT,
                                                           SECRET_COLLECTION_CREATE_NONE, m_call.cancellable(),
                                                           &error));
            fail(error, "create keyring");
            m_call.enterPhase(SecretServiceCall::Phase::Reply);
            if (!collection) {
                throw Failure{KeychainStatus::interactionNotAllowed};
            }
        }
        GList single{collection.get(), nullptr, nullptr};
        unlock(&single);
        return collection;
    }

    void create(const QByteArray &data)
    {
        ObjectPtr<SecretCollection> collection = defaultCollection();
        const ValuePtr value(secret_value_new(data.constData(), data.size(), "application/octet-stream"));
        const QByteArray label = m_service + ": " + m_account;
        ErrorSlot error;
        ObjectPtr<SecretItem> item(secret_item_create_sync(collection.get(), genericPasswordSchema(),
                                                           m_attributes.get(), label.constData(), value.get(),
                                                           SECRET_ITEM_CREATE_NONE, m_call.cancellable(), &error));
        fail(error, "create item");
    }

    void replace(GList *items, const QByteArray &data)
    {
        unlock(items);
        const ValuePtr value(secret_value_new(data.constData(), data.size(), "application/octet-stream"));
        for (GList *node = items; node; node = node->next) {
            ErrorSlot error;
            secret_item_set_secret_sync(SECRET_ITEM(node->data), value.get(), m_call.cancellable(), &error);
            fail(error, "replace secret");
        }
    }

    QByteArray load(GList *newestFirst)
    {
        GList single{newestFirst->data, nullptr, nullptr};
        unlock(&single);
        SecretItem *item = SECRET_ITEM(newestFirst->data);
        ErrorSlot error;
        secret_item_load_secret_sync(item, m_call.cancellable(), &error);
        fail(error, "load secret");
        const ValuePtr value(secret_item_get_secret(item));
        if (!value) {
            throw Failure{KeychainStatus::unknownFailure};
        }
        gsize length = 0;
        const gchar *bytes = secret_value_get(value.get(), &length);
        return QByteArray(bytes, static_cast<qsizetype>(length));
    }

    void erase(GList *items)
    {
        unlock(items);
        for (GList *node = items; node; node = node->next) {
            ErrorSlot error;
            secret_item_delete_sync(SECRET_ITEM(node->data), m_call.cancellable(), &error);
            fail(error, "delete item");
        }
    }

private:
    void fail(ErrorSlot &slot, const char *step)
    {
        const ErrorPtr error = slot.take();
        if (!error) {
            return;
        }
        const int status = statusOf(error.get(), m_call.phase());
        qCWarning(lcKeychain).nospace() << "Secret Service " << step << " failed (" << status
                                        << "): " << error->message;
        throw Failure{status};
    }

    SecretServiceCall &m_call;
    QByteArray m_service;
    QByteArray m_account;
    AttributesPtr m_attributes;
    ObjectPtr<SecretService> m_secrets;
};

} // namespace

SecretServiceItems::SecretServiceItems(SecretServiceCall &call)
    : m_call(call)
{}

Keychain::ReadResult SecretServiceItems::run(Operation operation, const QString &service, const QString &account,
                                             const QByteArray &data)
{
    try {
        Session session(m_call, service, account);
        session.connect();
        const ObjectListPtr items = session.find();
        switch (operation) {
        case Operation::Add:
            if (items) {
                return Result{.status = KeychainStatus::duplicateItem};
            }
            session.create(data);
            return Result{};
        case Operation::Update:
            if (!items) {
                return Result{.status = KeychainStatus::itemNotFound};
            }
            session.replace(items.get(), data);
            return Result{};
        case Operation::Read:
            if (!items) {
                return Result{.status = KeychainStatus::itemNotFound};
            }
            return Result{.data = session.load(items.get())};
        case Operation::Remove:
            if (!items) {
                return Result{.status = KeychainStatus::itemNotFound};
            }
            session.erase(items.get());
            return Result{};
        }
        return Result{.status = KeychainStatus::unknownFailure};
    } catch (const Failure &failure) {
        return Result{.status = failure.status};
    }
}
