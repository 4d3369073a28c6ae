#pragma once
// The calls an application has been seen to act on without ever answering them (GTK 4.8 answers
// add_selection with a reply of the wrong type, which never arrives), learnt per application so
// that they stop costing a whole deadline each: such a call is then made with a deadline just long
// enough to send it, and its effect is read back instead of its answer awaited. Accessibility
// thread only.

#include <set>
#include <string>
#include <string_view>

namespace pennial {

class AtspiUnansweredCalls {
public:
    explicit AtspiUnansweredCalls(std::string application = {})
        : application_(std::move(application)) {}

    bool answers(std::string_view method) const { return !unanswered_.contains(method); }
    // The method's call ran out of time; logged the first time.
    void learn(std::string_view method);

private:
    std::string application_;
    std::set<std::string, std::less<>> unanswered_;
};

} // namespace pennial
