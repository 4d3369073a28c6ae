// Configuration load and save with 500 commands, and what a transform call costs on top of the
// network: the bare HTTP round trip against the local fake backend, the same with our client, the
// whole transform call, and the transform service with no network at all.

#include "services/curl_http_client.hpp"
#include "services/file_config_storage.hpp"
#include "services/transform_service.hpp"
#include "support/fake_backend.hpp"

#include <asio/io_context.hpp>
#include <asio/use_future.hpp>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <httplib.h>

using namespace pennial;
using namespace pennial::testing;

namespace {

class ConfigFile {
public:
    ConfigFile()
        : folder_(std::filesystem::temp_directory_path() /
                  ("pennial-bench-" + Uuid::random().toString())) {
        std::filesystem::create_directories(folder_);
        config_ = AppConfig::defaults();
        const std::map<std::string, std::string> metadata{{"source", "bench"}};
        for (int i = 0; i < 500; ++i) {
            auto command = Command::make(
                "command" + std::to_string(i),
                "Rewrite the text so that it reads clearly, keeps the author's voice and fixes "
                "every error of grammar, spelling and punctuation — number " +
                    std::to_string(i),
                i % 3 != 0);
            if (i % 10 == 0)
                command.metadata = metadata;
            config_.commands.push_back(std::move(command));
        }
        storage_.saveNow(config_);
    }
    ~ConfigFile() { std::filesystem::remove_all(folder_); }

    FileConfigStorage& storage() { return storage_; }
    const AppConfig& config() const { return config_; }

private:
    std::filesystem::path folder_;
    FileConfigStorage storage_{folder_ / "config.json"};
    AppConfig config_;
};

void ConfigLoad500(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state)
        benchmark::DoNotOptimize(file.storage().loadNow());
}
BENCHMARK(ConfigLoad500)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

void ConfigSave500(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state)
        file.storage().saveNow(file.config());
}
BENCHMARK(ConfigSave500)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

class AlwaysValid : public AccessTokenProvider {
public:
    Awaitable<std::string> getValidAccessToken() override { co_return "bench-token"; }
};

// Answers at once with a fixed body: the service's own work without any network.
class InstantClient : public HTTPClient {
public:
    Awaitable<std::string> execute(HTTPRequest) override {
        co_return R"({"transformedText":"[fix] hello","processingTimeMs":7})";
    }
};

template <class T> T run(asio::io_context& io, Awaitable<T> body) {
    io.restart();
    auto result = asio::co_spawn(io, std::move(body), asio::use_future);
    io.run();
    return result.get();
}

const Command& fix() {
    static const Command command = Command::make("fix", "Fix grammar.", true);
    return command;
}

const AppContext& context() {
    static const AppContext made{"Mail", "org.mail", "Inbox", std::nullopt, std::string(2000, 'x')};
    return made;
}

void HttpRoundTripBaseline(benchmark::State& state) {
    FakeBackend backend;
    httplib::Client client(backend.baseURL());
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    Json body = {
        {"text", "hello"}, {"command", "fix"}, {"content", "Fix."}, {"mode", "smart_edit"}};
    auto text = json::dump(body);
    httplib::Headers headers{{"Authorization", "Bearer bench-token"}};
    for (auto _ : state)
        benchmark::DoNotOptimize(client.Post("/api/transform", headers, text, "application/json"));
}
BENCHMARK(HttpRoundTripBaseline)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void CurlHttpClientRoundTrip(benchmark::State& state) {
    FakeBackend backend;
    CurlHttpClient client;
    asio::io_context io;
    HTTPRequest request;
    request.url = backend.baseURL() + "/api/transform";
    request.method = "POST";
    request.setHeader("Content-Type", "application/json");
    request.setHeader("Authorization", "Bearer bench-token");
    request.body = json::dump(
        Json{{"text", "hello"}, {"command", "fix"}, {"content", "Fix."}, {"mode", "smart_edit"}});
    for (auto _ : state)
        benchmark::DoNotOptimize(run(io, client.execute(request)));
}
BENCHMARK(CurlHttpClientRoundTrip)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void TransformCallAgainstFakeBackend(benchmark::State& state) {
    FakeBackend backend;
    CurlHttpClient client;
    AlwaysValid tokens;
    TransformService service(client, backend.baseURL(), 30.0, tokens);
    asio::io_context io;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            run(io, service.transform("hello", fix(), context(), "Ann", "brief")));
}
BENCHMARK(TransformCallAgainstFakeBackend)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void TransformServiceWithoutNetwork(benchmark::State& state) {
    InstantClient client;
    AlwaysValid tokens;
    TransformService service(client, "http://127.0.0.1:1", 30.0, tokens);
    asio::io_context io;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            run(io, service.transform("hello", fix(), context(), "Ann", "brief")));
}
BENCHMARK(TransformServiceWithoutNetwork)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    CurlHttpClient::globalInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
