#include "commands_tab_fixture.hpp"

namespace pennial::testing {
namespace {

std::unique_ptr<QApplication>& ownApplication() {
    static std::unique_ptr<QApplication> application;
    return application;
}

// Tears the application down before the program's static destructors run: Qt cannot be torn
// down among them.
class OwnApplicationEnvironment : public ::testing::Environment {
public:
    void TearDown() override { ownApplication().reset(); }
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new OwnApplicationEnvironment);

} // namespace

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "windows_settings_tests";
    static char* argv[] = {name, nullptr};
    ownApplication() = std::make_unique<QApplication>(argc, argv);
    PNFonts::registerCustomFonts();
    PNAnimations::setEnabled(false);
}

} // namespace pennial::testing
