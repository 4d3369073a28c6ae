#include "support/fake_ingestion.hpp"

namespace pennial::testing {

bool isCrashEnvelopePath(std::string_view method, std::string_view path) {
    constexpr std::string_view prefix = "/api/", suffix = "/envelope/";
    if (method != "POST" || !path.starts_with(prefix) || !path.ends_with(suffix) ||
        path.size() <= prefix.size() + suffix.size())
        return false;
    auto project = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    return project.find('/') == std::string_view::npos;
}

std::vector<Json> parseCrashEnvelope(std::string_view body) {
    auto headerEnd = body.find('\n');
    auto itemEnd = headerEnd == std::string_view::npos ? headerEnd : body.find('\n', headerEnd + 1);
    if (itemEnd == std::string_view::npos)
        throw JsonShapeError("an envelope has a header, an item header and an item");
    auto header = json::parse(body.substr(0, headerEnd));
    auto item = json::parse(body.substr(headerEnd + 1, itemEnd - headerEnd - 1));
    auto payload = body.substr(itemEnd + 1);
    if (payload.ends_with('\n'))
        payload.remove_suffix(1);
    if (!item.contains("length") || item["length"] != payload.size())
        throw JsonShapeError("the item's length is not the length of its payload");
    auto event = json::parse(payload);
    if (item.value("type", "") != "event" || !header.contains("event_id") ||
        header["event_id"] != event.value("event_id", ""))
        throw JsonShapeError("the envelope does not carry one event under its id");
    return {header, item, event};
}

FakeAnswer crashEnvelopeAnswer(const RecordedRequest& request) {
    auto auth = request.header("X-Sentry-Auth");
    if (!auth || auth->find("sentry_key=") == std::string::npos)
        return FakeAnswer::json(401, {{"detail", "missing authorization information"}});
    try {
        auto documents = parseCrashEnvelope(request.body);
        return FakeAnswer::json(200, {{"id", documents[0]["event_id"]}});
    } catch (const std::exception& e) {
        return FakeAnswer::json(400, {{"detail", e.what()}});
    }
}

} // namespace pennial::testing
