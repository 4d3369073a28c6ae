find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(CURL REQUIRED)
if(PENNIAL_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
# The fake backend serves the tests and `scripts/run --local`.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
if(PENNIAL_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

# Standalone asio is header-only.
add_library(asio INTERFACE)
target_link_libraries(asio INTERFACE Threads::Threads)

# The real desktop: AT-SPI, X11 keys, the Secret Service, Qt for clipboard, screens and windows.
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
# The update feed's signatures.
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
pkg_check_modules(ATSPI REQUIRED IMPORTED_TARGET atspi-2)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0 gio-2.0)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11 xtst xi xkbcommon)
pkg_check_modules(EVDEV REQUIRED IMPORTED_TARGET libevdev)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg Network)
