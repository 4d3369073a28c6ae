#pragma once
// The practice stage's state: the commands offered, the conversation so far and the input the
// practice trigger reads and writes. Kept for the run beside the onboarding model. Main thread
// only.

#include "base/uuid.hpp"
#include "text/command.hpp"

#include <QObject>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

struct PlaygroundMessage {
    Uuid id;
    std::string text;
    std::string senderName;
    bool isUser = false;
    bool isError = false;
    bool isBot = false;
    std::chrono::system_clock::time_point timestamp;
};

class OnboardingPlaygroundModel : public QObject {
    Q_OBJECT

public:
    const std::vector<Command>& commands() const { return commands_; }
    void setCommands(std::vector<Command> commands);
    const std::optional<Uuid>& selectedCommandID() const { return selectedCommandID_; }
    void setSelectedCommandID(std::optional<Uuid> id);
    const std::vector<PlaygroundMessage>& messages() const { return messages_; }
    const std::string& playgroundInput() const { return playgroundInput_; }
    void setPlaygroundInput(std::string input);
    const std::string& triggerPattern() const { return triggerPattern_; }
    void setTriggerPattern(std::string pattern);

    // Reports a failed practice run as a message from the product.
    void addError(std::string text);

Q_SIGNALS:
    void changed();

private:
    std::vector<Command> commands_;
    std::optional<Uuid> selectedCommandID_;
    std::vector<PlaygroundMessage> messages_;
    std::string playgroundInput_;
    std::string triggerPattern_ = ";;";
};

} // namespace pennial
