#include "platform/linux/storage/libsecret_store.hpp"

#include <condition_variable>
#include <fmt/format.h>
#include <libsecret/secret.h>
#include <mutex>
#include <thread>

namespace pennial {
namespace {

const SecretSchema* genericPasswordSchema() {
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "com.pennial.GenericPassword";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

std::int32_t statusForError(const GError* error) {
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return SecretStatus::userCanceled; // a dismissed unlock prompt
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY))
        return SecretStatus::interactionNotAllowed;
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        return SecretStatus::itemNotFound;
    if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_AUTH_FAILED))
        return SecretStatus::authFailed;
    if (error->domain == G_DBUS_ERROR || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
        return SecretStatus::notAvailable; // no session bus, no Secret Service on it
    return SecretStatus::internalComponent;
}

// The spec's D-Bus name of a failure that libsecret reports in its own domain.
const char* secretErrorName(int code) {
    switch (code) {
    case SECRET_ERROR_IS_LOCKED:
        return "org.freedesktop.Secret.Error.IsLocked";
    case SECRET_ERROR_NO_SUCH_OBJECT:
        return "org.freedesktop.Secret.Error.NoSuchObject";
    case SECRET_ERROR_ALREADY_EXISTS:
        return "org.freedesktop.Secret.Error.AlreadyExists";
    default:
        return nullptr;
    }
}

// The failure as the Secret Service named it: its D-Bus error name where the answer came over the
// bus (or libsecret's domain says which one it was), else the GLib domain and code; then the
// message, without the name that GDBus puts in front of it.
std::string describeError(const GError* error) {
    std::string name;
    if (gchar* remote = g_dbus_error_get_remote_error(error)) {
        name = remote;
        g_free(remote);
    } else if (const char* known =
                   error->domain == SECRET_ERROR ? secretErrorName(error->code) : nullptr) {
        name = known;
    } else {
        name = std::string(g_quark_to_string(error->domain)) + " " + std::to_string(error->code);
    }
    GError* copy = g_error_copy(error);
    g_dbus_error_strip_remote_error(copy);
    std::string message = copy->message ? copy->message : "";
    g_error_free(copy);
    return message.empty() ? name : name + ": " + message;
}

// One thread iterating a main context of our own for the whole process: every libsecret call and
// callback runs there. libsecret caches one Secret Service proxy per process, bound to the
// context it was made on, so that context must stay alive and iterated.
class SecretLoop {
public:
    static SecretLoop& shared() {
        // Never destroyed: the proxy cached by libsecret outlives any object of ours.
        static SecretLoop* loop = new SecretLoop();
        return *loop;
    }

    // Runs function(data) on the loop thread; destroy(data) follows.
    void invoke(GSourceFunc function, gpointer data, GDestroyNotify destroy) {
        GSource* source = g_idle_source_new();
        g_source_set_callback(source, function, data, destroy);
        g_source_attach(source, context_);
        g_source_unref(source);
    }

private:
    SecretLoop() : context_(g_main_context_new()) {
        std::thread([context = context_] {
            g_main_context_push_thread_default(context);
            for (;;)
                g_main_context_iteration(context, TRUE);
        }).detach();
    }

    GMainContext* context_;
};

} // namespace

// One call, shared by the waiting caller and the loop thread; whoever finishes last frees it.
struct LibsecretStore::Call {
    enum class Kind { read, write, remove };

    Call(Kind kind, std::string service, std::string account, std::string data = {})
        : kind(kind), service(std::move(service)), account(std::move(account)),
          data(std::move(data)), cancellable(g_cancellable_new()) {}
    ~Call() { g_object_unref(cancellable); }

    void finish(std::int32_t status, std::string value = {}, std::string error = {}) {
        std::lock_guard lock(mutex);
        result = {status, std::move(value), std::move(error)};
        done = true;
        finished.notify_all();
    }

    void fail(const GError* error) { finish(statusForError(error), {}, describeError(error)); }

    // Runs on the loop thread.
    void start(std::shared_ptr<Call> self) {
        auto* owner = new std::shared_ptr<Call>(std::move(self));
        auto* schema = genericPasswordSchema();
        switch (kind) {
        case Kind::read:
            // Searches rather than the plain lookup and clear: those pass over items the keyring
            // could not unlock, so a locked keyring would read as signed out, and a sign-out
            // would leave the session behind while answering that there was none.
            search(SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS),
                   &Call::readDone, owner);
            break;
        case Kind::write: {
            SecretValue* value =
                secret_value_new(data.data(), gssize(data.size()), "application/octet-stream");
            auto label = service + " " + account;
            // Items with the same attributes are replaced in place by the service.
            secret_password_store_binary(schema, SECRET_COLLECTION_DEFAULT, label.c_str(), value,
                                         cancellable, &Call::writeDone, owner, "service",
                                         service.c_str(), "account", account.c_str(), nullptr);
            secret_value_unref(value);
            break;
        }
        case Kind::remove:
            search(SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_ALL), &Call::removeFound,
                   owner);
            break;
        }
    }

    void search(SecretSearchFlags flags, GAsyncReadyCallback done, gpointer owner) {
        auto* schema = genericPasswordSchema();
        GHashTable* attributes = secret_attributes_build(schema, "service", service.c_str(),
                                                         "account", account.c_str(), nullptr);
        secret_service_search(nullptr, schema, attributes, flags, cancellable, done, owner);
        g_hash_table_unref(attributes);
    }

    // The items a search found; false, with the call finished, when the search failed.
    static bool searched(Call& call, GObject* source, GAsyncResult* result, GList*& items) {
        GError* error = nullptr;
        items =
            secret_service_search_finish(source ? SECRET_SERVICE(source) : nullptr, result, &error);
        if (!error)
            return true;
        call.fail(error);
        g_error_free(error);
        return false;
    }

    static std::shared_ptr<Call> take(gpointer owner) {
        auto* held = static_cast<std::shared_ptr<Call>*>(owner);
        auto call = std::move(*held);
        delete held;
        return call;
    }

    static void readDone(GObject* source, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GList* items = nullptr;
        if (!searched(*call, source, result, items))
            return;
        if (!items) {
            call->finish(SecretStatus::itemNotFound);
            return;
        }
        auto* item = SECRET_ITEM(items->data);
        SecretValue* value = secret_item_get_locked(item) ? nullptr : secret_item_get_secret(item);
        if (!value) {
            // Still locked: no error came, so it gets the one the service gives for it.
            call->finish(SecretStatus::interactionNotAllowed, {},
                         "org.freedesktop.Secret.Error.IsLocked: the keyring stayed locked");
        } else {
            gsize length = 0;
            const gchar* bytes = secret_value_get(value, &length);
            call->finish(SecretStatus::success, std::string(bytes, length));
            secret_value_unref(value);
        }
        g_list_free_full(items, g_object_unref);
    }

    static void writeDone(GObject*, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GError* error = nullptr;
        if (secret_password_store_finish(result, &error)) {
            call->finish(SecretStatus::success);
            return;
        }
        if (error) {
            call->fail(error);
            g_error_free(error);
        } else {
            call->finish(SecretStatus::internalComponent, {}, "the item was not stored");
        }
    }

    // Deletes the found items one by one, searching again after each, until none is left.
    static void removeFound(GObject* source, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GList* items = nullptr;
        if (!searched(*call, source, result, items))
            return;
        if (!items) {
            call->finish(call->removedAny ? SecretStatus::success : SecretStatus::itemNotFound);
            return;
        }
        secret_item_delete(SECRET_ITEM(items->data), call->cancellable, &Call::removeDeleted,
                           new std::shared_ptr<Call>(call));
        g_list_free_full(items, g_object_unref);
    }

    static void removeDeleted(GObject* item, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GError* error = nullptr;
        if (!secret_item_delete_finish(SECRET_ITEM(item), result, &error)) {
            if (error) {
                call->fail(error);
                g_error_free(error);
            } else {
                call->finish(SecretStatus::internalComponent, {}, "the item was not deleted");
            }
            return;
        }
        call->removedAny = true;
        call->search(SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_ALL),
                     &Call::removeFound, new std::shared_ptr<Call>(call));
    }

    Kind kind;
    std::string service;
    std::string account;
    std::string data;
    GCancellable* cancellable;
    bool removedAny = false; // loop thread only

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    SecretReadResult result;
};

LibsecretStore::LibsecretStore(std::chrono::milliseconds timeout) : timeout_(timeout) {}

SecretReadResult LibsecretStore::read(const std::string& service, const std::string& account) {
    return run(std::make_shared<Call>(Call::Kind::read, service, account));
}

SecretResult LibsecretStore::write(const std::string& service, const std::string& account,
                                   const std::string& data) {
    auto result = run(std::make_shared<Call>(Call::Kind::write, service, account, data));
    return {result.status, std::move(result.error)};
}

SecretResult LibsecretStore::remove(const std::string& service, const std::string& account) {
    auto result = run(std::make_shared<Call>(Call::Kind::remove, service, account));
    return {result.status, std::move(result.error)};
}

SecretReadResult LibsecretStore::run(std::shared_ptr<Call> call) {
    SecretLoop::shared().invoke(
        [](gpointer owner) {
            auto* held = static_cast<std::shared_ptr<Call>*>(owner);
            (*held)->start(*held);
            return G_SOURCE_REMOVE;
        },
        new std::shared_ptr<Call>(call),
        [](gpointer owner) { delete static_cast<std::shared_ptr<Call>*>(owner); });

    std::unique_lock lock(call->mutex);
    if (!call->finished.wait_for(lock, timeout_, [&] { return call->done; })) {
        // The call goes on until the service answers the cancellation; its answer is dropped.
        g_cancellable_cancel(call->cancellable);
        return {SecretStatus::interactionNotAllowed,
                {},
                fmt::format("the Secret Service did not answer within {:g} s (a locked keyring "
                            "waiting for its password?)",
                            double(timeout_.count()) / 1000)};
    }
    return std::move(call->result);
}

} // namespace pennial
