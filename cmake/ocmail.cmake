# ocmail_library(name SOURCES ... DEPS ...): one static library per src/ folder.
function(ocmail_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# ocmail_test(name SOURCES ... DEPS ...): one GoogleTest program, one CTest entry,
# always headless and with the fixtures folder at hand.
function(ocmail_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock ocmail_testsupport)
  target_compile_definitions(${name} PRIVATE
    OCMAIL_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures"
    OCMAIL_SHARE="${CMAKE_SOURCE_DIR}/share"
    OCMAIL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;OCMAIL_FIXTURES=${CMAKE_SOURCE_DIR}/tests/fixtures"
    TIMEOUT 600)
endfunction()

# ocmail_bench(name SOURCES ... DEPS ...)
function(ocmail_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE OCMAIL_SHARE="${CMAKE_SOURCE_DIR}/share"
    OCMAIL_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()
