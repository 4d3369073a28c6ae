#pragma once
// The handle behind a reference to an element on the accessibility bus: the system-wide element,
// an application named by its process id (found on first use, as a reference to a process is
// handed out before anything is asked of it), or one object. Identity is the object's bus name and
// path, kept as text so references compare on any thread; the library's object is only touched on
// the accessibility thread, and released there.

#include "platform/accessibility.hpp"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

typedef struct _AtspiAccessible AtspiAccessible;

namespace pennial {

class AtspiElement : public AXElementHandle {
public:
    enum class Kind { systemWide, application, object };
    using Timeout = std::chrono::duration<double>;

    static AXElement systemWide();
    static AXElement application(Pid pid);
    // Accessibility thread only; takes a reference of its own. Null for a null object. pid: its
    // process, when already known.
    static AXElement object(AtspiAccessible* accessible, std::optional<Pid> pid = std::nullopt);
    // Another reference to the same element, with no messaging time-out of its own yet. Any
    // thread; null for a reference not of this facility.
    static AXElement copyOf(const AXElement& element);

    explicit AtspiElement(Kind kind, Pid pid = 0);
    ~AtspiElement() override;

    Kind kind() const { return kind_; }
    Pid pid() const { return pid_; }
    // The process of an object handed out with it.
    std::optional<Pid> knownProcess() const { return knownProcess_; }
    bool sameElement(const AXElementHandle& other) const override;

    // Accessibility thread only. The object; null until an application reference is resolved.
    AtspiAccessible* accessible() const;
    void resolve(AtspiAccessible* accessible);

    std::optional<Timeout> messagingTimeout() const;
    void setMessagingTimeout(Timeout timeout);

    // Whether something was written through this reference: its reads then check a write, and the
    // application may still be busy with it.
    bool writtenTo() const { return writtenTo_; }
    void markWrittenTo() { writtenTo_ = true; }

private:
    struct Identity {
        std::string busName;
        std::string path;
        bool operator==(const Identity&) const = default;
    };
    std::optional<Identity> identity() const;

    // One reference of the library's object, shared by the copies of a handle: a copy handed out
    // on every poll then costs no trip to the accessibility thread when it goes.
    struct Object {
        explicit Object(AtspiAccessible* accessible);
        ~Object();
        Object(const Object&) = delete;
        Object& operator=(const Object&) = delete;
        AtspiAccessible* const accessible;
    };

    const Kind kind_;
    const Pid pid_;
    std::optional<Pid> knownProcess_; // set before the handle is shared
    mutable std::mutex mutex_;
    std::shared_ptr<const Object> object_;
    std::optional<Identity> identity_;
    std::optional<Timeout> timeout_;
    std::atomic<bool> writtenTo_{false};
};

// The handle of a reference this facility handed out; null for any other.
AtspiElement* atspiElement(const AXElement& element);

} // namespace pennial
