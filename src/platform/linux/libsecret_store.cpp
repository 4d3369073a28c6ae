#include "platform/linux/libsecret_store.hpp"

#include <condition_variable>
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

    void finish(std::int32_t status, std::string value = {}) {
        std::lock_guard lock(mutex);
        result = {status, std::move(value)};
        done = true;
        finished.notify_all();
    }

    // Runs on the loop thread.
    void start(std::shared_ptr<Call> self) {
        auto* owner = new std::shared_ptr<Call>(std::move(self));
        auto* schema = genericPasswordSchema();
        switch (kind) {
        case Kind::read:
            secret_password_lookup(schema, cancellable, &Call::readDone, owner, "service",
                                   service.c_str(), "account", account.c_str(), nullptr);
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
            secret_password_clear(schema, cancellable, &Call::removeDone, owner, "service",
                                  service.c_str(), "account", account.c_str(), nullptr);
            break;
        }
    }

    static std::shared_ptr<Call> take(gpointer owner) {
        auto* held = static_cast<std::shared_ptr<Call>*>(owner);
        auto call = std::move(*held);
        delete held;
        return call;
    }

    static void readDone(GObject*, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GError* error = nullptr;
        SecretValue* value = secret_password_lookup_binary_finish(result, &error);
        if (error) {
            call->finish(statusForError(error));
            g_error_free(error);
            return;
        }
        if (!value) {
            call->finish(SecretStatus::itemNotFound);
            return;
        }
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        call->finish(SecretStatus::success, std::string(bytes, length));
        secret_value_unref(value);
    }

    static void writeDone(GObject*, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GError* error = nullptr;
        if (secret_password_store_finish(result, &error)) {
            call->finish(SecretStatus::success);
            return;
        }
        call->finish(error ? statusForError(error) : SecretStatus::internalComponent);
        if (error)
            g_error_free(error);
    }

    static void removeDone(GObject*, GAsyncResult* result, gpointer owner) {
        auto call = take(owner);
        GError* error = nullptr;
        if (secret_password_clear_finish(result, &error)) {
            call->finish(SecretStatus::success);
            return;
        }
        call->finish(error ? statusForError(error) : SecretStatus::itemNotFound);
        if (error)
            g_error_free(error);
    }

    Kind kind;
    std::string service;
    std::string account;
    std::string data;
    GCancellable* cancellable;

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    SecretReadResult result;
};

LibsecretStore::LibsecretStore(std::chrono::milliseconds timeout) : timeout_(timeout) {}

SecretReadResult LibsecretStore::read(const std::string& service, const std::string& account) {
    return run(std::make_shared<Call>(Call::Kind::read, service, account));
}

std::int32_t LibsecretStore::write(const std::string& service, const std::string& account,
                                   const std::string& data) {
    return run(std::make_shared<Call>(Call::Kind::write, service, account, data)).status;
}

std::int32_t LibsecretStore::remove(const std::string& service, const std::string& account) {
    return run(std::make_shared<Call>(Call::Kind::remove, service, account)).status;
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
        return {SecretStatus::interactionNotAllowed, {}};
    }
    return std::move(call->result);
}

} // namespace pennial
