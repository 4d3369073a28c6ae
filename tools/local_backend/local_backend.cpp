#include "local_backend/local_backend.hpp"

#include "base/json.hpp"
#include "base/log.hpp"

#include <cctype>
#include <random>
#include <regex>

namespace pennial::local_backend {

namespace {

using testing::FakeAnswer;
using testing::FakeBackend;
using testing::RecordedRequest;

bool isSentenceEnd(char c) {
    return c == '.' || c == '!' || c == '?';
}

// Blanks collapsed, each sentence starting with a capital, a full stop at the end.
std::string fixRule(const std::string& text) {
    std::string fixed;
    bool sentenceStart = true;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ' || c == '\t') {
            if (!fixed.empty() && fixed.back() != ' ' && fixed.back() != '\n')
                fixed += ' ';
            continue;
        }
        if (c == '\n' && !fixed.empty() && fixed.back() == ' ')
            fixed.pop_back();
        if (sentenceStart && std::isalpha(byte)) {
            c = static_cast<char>(std::toupper(byte));
            sentenceStart = false;
        } else if (std::isalnum(byte)) {
            sentenceStart = false;
        }
        if (isSentenceEnd(c))
            sentenceStart = true;
        fixed += c;
    }
    while (!fixed.empty() && (fixed.back() == ' ' || fixed.back() == '\n'))
        fixed.pop_back();
    if (!fixed.empty() && !isSentenceEnd(fixed.back()))
        fixed += '.';
    return fixed;
}

// The first sentence only.
std::string shortRule(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (isSentenceEnd(text[i]) &&
            (i + 1 == text.size() || std::isspace(static_cast<unsigned char>(text[i + 1]))))
            return text.substr(0, i + 1);
    return text;
}

bool hasBearer(const RecordedRequest& request) {
    auto authorization = request.header("Authorization");
    return authorization && authorization->starts_with("Bearer ") && authorization->size() > 7;
}

FakeAnswer transformAnswer(const RecordedRequest& request) {
    if (!hasBearer(request))
        return FakeAnswer::json(401, {{"error", "Unauthorized"}});
    try {
        const auto body = request.json();
        const auto transformed =
            localTransform(json::requireString(body, "command"), json::requireString(body, "text"),
                           json::requireString(body, "content"), json::requireString(body, "mode"));
        return FakeAnswer::json(200, {{"transformedText", transformed}, {"processingTimeMs", 1}});
    } catch (const JsonShapeError& error) {
        return FakeAnswer::json(400, {{"error", error.what()}});
    }
}

std::string newCode() {
    static std::mt19937 generator{std::random_device{}()};
    return fmt::format("{:06}", std::uniform_int_distribution<int>(0, 999999)(generator));
}

} // namespace

std::string localTransform(const std::string& command, const std::string& text,
                           const std::string& content, const std::string& mode) {
    const std::string marker = " (local backend: " + command + ")";
    if (mode == "snippet")
        return std::regex_replace(content, std::regex("<[^>]*>"), "(local backend)");
    if (command == "fix")
        return fixRule(text) + marker;
    if (command == "short")
        return shortRule(text) + marker;
    return text + marker;
}

void installLocalAnswers(FakeBackend& backend) {
    backend.setDefaultHandler(testing::Endpoint::transform, transformAnswer);
    backend.setDefaultHandler(
        testing::Endpoint::otpRequest, [&backend](const RecordedRequest& request) {
            std::string email;
            try {
                email = json::requireString(request.json(), "email");
            } catch (const JsonShapeError&) {
            }
            if (email.find('@') == std::string::npos)
                return FakeAnswer::json(400, {{"code", 400},
                                              {"error_code", "validation_failed"},
                                              {"msg", "Unable to validate email address: "
                                                      "invalid format"}});
            // Each request makes the earlier code useless, as a real sign-in does.
            const auto code = newCode();
            backend.setOtpCode(code);
            logf("🔵 [LocalBackend] Sign-in code: {}", code);
            return FakeAnswer::json(200, Json::object());
        });
}

} // namespace pennial::local_backend
