# Helpers shared by every folder's CMakeLists.txt.

# The folder of the shared test corpus, when it is laid beside the project.
get_filename_component(VEXO_CORPUS_DIR ${CMAKE_SOURCE_DIR}/../shared/corpus ABSOLUTE)

# vexo_add_bench(NAME name SOURCES a.cpp ... LIBS lib ...)
# A benchmark program in build/bin that runs with no argument.
function(vexo_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VEXO_BENCH)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} Threads::Threads)
  target_compile_definitions(${B_NAME} PRIVATE
    VEXO_CORPUS_DIR="${VEXO_CORPUS_DIR}"
    VEXO_BIN_DIR="${VEXO_BIN_DIR}")
endfunction()

# vexo_add_fuzzer(NAME name SOURCES a.cpp ... LIBS lib ...)
# A libFuzzer harness (clang only, -DVEXO_FUZZ=ON); scripts/fuzz runs each one
# in build-fuzz/fuzz for a bounded time. Seeds: <folder>/tests/fuzz-seeds/<name>/.
function(vexo_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VEXO_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} Threads::Threads)
endfunction()

# vexo_folder_tests(PREFIX name LIBS lib ... [LABELS l ...])
# Builds tests/*_test.cpp of the current folder into one GoogleTest program
# <name>_tests, and every tests/helpers/*.cpp into a program of its own (child
# processes and test libraries that the tests start or load) in build/tests.
# Both link vexo_systest, the shared support of platform/sys/tests/support.
function(vexo_folder_tests)
  cmake_parse_arguments(T "" "PREFIX;TIMEOUT" "LIBS;LABELS;ENV" ${ARGN})
  if(NOT VEXO_TESTS)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/support/*.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/helpers/*.cpp)
  # The platform's shared test support, which platform/sys builds from its
  # own tests/support (so not for its own programs, which hold those sources).
  set(shared_support)
  if(NOT CMAKE_CURRENT_SOURCE_DIR STREQUAL "${CMAKE_SOURCE_DIR}/platform/sys")
    set(shared_support vexo_systest)
  endif()
  set(helper_targets)
  foreach(h ${helpers})
    get_filename_component(hname ${h} NAME_WE)
    add_executable(${T_PREFIX}_${hname} ${h} ${support})
    set_target_properties(${T_PREFIX}_${hname} PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests OUTPUT_NAME ${hname})
    target_link_libraries(${T_PREFIX}_${hname} PRIVATE ${T_LIBS} ${shared_support} Threads::Threads)
    target_compile_definitions(${T_PREFIX}_${hname} PRIVATE
      VEXO_CORPUS_DIR="${VEXO_CORPUS_DIR}" VEXO_BIN_DIR="${VEXO_BIN_DIR}"
      VEXO_TESTS_DIR="${CMAKE_BINARY_DIR}/tests")
    list(APPEND helper_targets ${T_PREFIX}_${hname})
  endforeach()
  if(NOT sources)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(name ${T_PREFIX}_tests)
  add_executable(${name} ${sources} ${support})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                        Threads::Threads)
  if(shared_support)
    target_link_libraries(${name} PRIVATE ${shared_support})
  endif()
  target_compile_definitions(${name} PRIVATE
    VEXO_CORPUS_DIR="${VEXO_CORPUS_DIR}" VEXO_BIN_DIR="${VEXO_BIN_DIR}"
    VEXO_TESTS_DIR="${CMAKE_BINARY_DIR}/tests"
    VEXO_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests")
  if(helper_targets)
    add_dependencies(${name} ${helper_targets})
  endif()
  set(env QT_QPA_PLATFORM=offscreen ${T_ENV})
  set(labels ${T_PREFIX} ${T_LABELS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # The discovered tests' properties cannot carry lists (several labels or
  # variables), so they are set by a script of their own once the tests are
  # known.
  set(props ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  file(WRITE ${props}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "    LABELS [==[${labels}]==] ENVIRONMENT [==[${env}]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
endfunction()
