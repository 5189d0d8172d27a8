# Warnings are errors on project code only; Qt, libusb and GoogleTest come in
# through imported targets and so stay SYSTEM includes.
function(kestrova_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# A GoogleTest executable registered with CTest.
function(kestrova_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  kestrova_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # Shared test doubles are included as "support/...".
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KESTROVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KESTROVA_DATA_DIR="${CMAKE_SOURCE_DIR}/data"
    KESTROVA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  # One variable per property: discovery passes a list's elements on as
  # separate arguments, which would drop every variable after the first.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp"
               ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen")
endfunction()
