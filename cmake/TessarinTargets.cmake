# Compiler settings and helper functions shared by every target of the project.

set(TESSARIN_WARNINGS -Wall -Wextra)
add_compile_options(${TESSARIN_WARNINGS})

if(TESSARIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(TESSARIN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(TESSARIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TESSARIN_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# tessarin_add_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One static library per source folder; its folder is on the include path of its users.
function(tessarin_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# tessarin_add_test(name SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...] [RUN_SERIAL])
# A GoogleTest executable registered with CTest, one CTest entry per test case. RUN_SERIAL: its
# cases run with no other test beside them (they measure timing as the machine allows it).
function(tessarin_add_test name)
  if(NOT TESSARIN_TESTS OR TESSARIN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "RUN_SERIAL" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(TESSARIN_SANITIZE)
    # Leaks of system libraries (fontconfig's caches) are not ours to report.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/lsan_suppressions.cpp)
  endif()
  if(TESSARIN_TSAN)
    # Races inside uninstrumented sound-server client libraries are not ours to report.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/tsan_suppressions.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TESSARIN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    TESSARIN_APP_DIR="${TESSARIN_APP_DIR}"
    TESSARIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if("threads" IN_LIST ARG_LABELS)
    # `make tsan` builds only these.
    file(APPEND ${CMAKE_BINARY_DIR}/tsan-targets.list "${name}\n")
  endif()
  set(env QT_QPA_PLATFORM=offscreen ${ARG_ENVIRONMENT})
  set(serial "")
  if(ARG_RUN_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  # An empty LABELS value would swallow the next property name, so it is given only when set.
  if(ARG_LABELS)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
      PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${env}" ${serial})
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
      PROPERTIES ENVIRONMENT "${env}" ${serial})
  endif()
endfunction()

# tessarin_add_fuzzer(name SOURCES ... LIBS ... [CORPUS dir] [DICT file])
# A libFuzzer target, built only with TESSARIN_FUZZ; tools/run-fuzzers.sh runs every one listed.
function(tessarin_add_fuzzer name)
  if(NOT TESSARIN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS;DICT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  file(APPEND ${CMAKE_BINARY_DIR}/fuzzers.list "${name}|${ARG_CORPUS}|${ARG_DICT}\n")
endfunction()

# tessarin_add_benchmark(name SOURCES ... LIBS ...)
# A Google Benchmark executable; `make bench` runs every one and prints its RATIO / MEM lines.
function(tessarin_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_compile_definitions(${name} PRIVATE
    TESSARIN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    TESSARIN_APP_DIR="${TESSARIN_APP_DIR}"
    TESSARIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()
