# Warnings, defines and sanitizers shared by every target of our own.
add_library(pennial_options INTERFACE)
target_compile_options(pennial_options INTERFACE -Wall -Wextra -Werror)
# Timers without timerfd: a timer then costs no system call to arm (the reactor waits with its
# time-out), which matters for the poll that wakes ten times a second.
target_compile_definitions(pennial_options INTERFACE
  ASIO_HAS_CO_AWAIT=1 ASIO_HAS_STD_COROUTINE=1 ASIO_NO_DEPRECATED QT_NO_KEYWORDS
  ASIO_DISABLE_TIMERFD)
if(PENNIAL_SANITIZE)
  target_compile_options(pennial_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(pennial_options INTERFACE -fsanitize=address,undefined)
endif()

# Each target of ours is compiled in batches of its sources (a unity build): most of a file's
# compile time goes to the headers it shares with its neighbours. PENNIAL_UNITY=OFF compiles file
# by file, which also shows a file that does not include what it uses.
option(PENNIAL_UNITY "Compile each target's sources in batches" ON)
set(PENNIAL_UNITY_BATCH 8 CACHE STRING "How many sources a batch holds")
function(pennial_unity target)
  if(PENNIAL_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON
      UNITY_BUILD_BATCH_SIZE ${PENNIAL_UNITY_BATCH})
  endif()
endfunction()

# pennial_library(name DIR dir DEPS ...): a static library of every .cpp in dir.
function(pennial_library name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    pennial_unity(${name})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC pennial_options ${ARG_DEPS})
  else() # headers only (so far)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE pennial_options ${ARG_DEPS})
  endif()
endfunction()

# pennial_test(name DIR dir LABEL label DEPS ...): one test program of every .cpp in dir.
function(pennial_test name)
  cmake_parse_arguments(ARG "" "DIR;LABEL" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  pennial_unity(${name})
  # The test framework's headers first in each batch: a file's `using namespace pennial` would
  # otherwise make its `testing` ambiguous in the framework's templates parsed after it.
  set_target_properties(${name} PROPERTIES UNITY_BUILD_CODE_BEFORE_INCLUDE "#include <gmock/gmock.h>")
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE pennial_options GTest::gmock_main ${ARG_DEPS})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 600)
  if(ARG_LABEL STREQUAL "ui") # widgets without a display
    set_tests_properties(${name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endfunction()
