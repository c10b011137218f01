# Helpers that keep every subsystem's CMakeLists short and alike.

set(KESTROVA_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wimplicit-fallthrough)

# Adds src/<name> (when it exists yet) and its tests/<name>.
function(kestrova_add_subsystem name)
  if(EXISTS ${PROJECT_SOURCE_DIR}/src/${name}/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/src/${name} ${PROJECT_BINARY_DIR}/src/${name})
  endif()
endfunction()

# kestrova_library(<name> SOURCES ... [DEPS ...]) makes the static library kestrova_<name>.
# Headers are included from the src/ root: #include "distribution/top_distributor.h".
function(kestrova_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(kestrova_${name} STATIC ${ARG_SOURCES})
  target_include_directories(kestrova_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(kestrova_${name} PRIVATE ${KESTROVA_WARNINGS})
  target_link_libraries(kestrova_${name} PUBLIC ${ARG_DEPS})
endfunction()

# kestrova_widgets_library(<name> SOURCES ... [DEPS ...]) makes kestrova_<name>_widgets on Qt.
function(kestrova_widgets_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT KESTROVA_WITH_QT)
    return()
  endif()
  add_library(kestrova_${name}_widgets STATIC ${ARG_SOURCES})
  set_target_properties(kestrova_${name}_widgets PROPERTIES AUTOMOC ON)
  target_include_directories(kestrova_${name}_widgets PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(kestrova_${name}_widgets PRIVATE ${KESTROVA_WARNINGS})
  target_link_libraries(kestrova_${name}_widgets PUBLIC kestrova_${name} Qt6::Widgets ${ARG_DEPS})
endfunction()

# kestrova_test(<label> SOURCES ... LIBS ... [TIMEOUT s]) makes one GoogleTest binary whose
# tests carry the CTest label <label> (ctest -L <label>). GTEST_SKIP counts as skipped.
function(kestrova_test label)
  cmake_parse_arguments(ARG "" "TIMEOUT;TARGET" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(NOT ARG_TARGET)
    set(ARG_TARGET ${label}_tests)
  endif()
  add_executable(${ARG_TARGET} ${ARG_SOURCES})
  target_compile_options(${ARG_TARGET} PRIVATE ${KESTROVA_WARNINGS})
  target_include_directories(${ARG_TARGET} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${ARG_TARGET} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main
                        Threads::Threads)
  gtest_discover_tests(${ARG_TARGET}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT ${ARG_TIMEOUT}
               SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
               ENVIRONMENT "${ARG_ENV}")
endfunction()
