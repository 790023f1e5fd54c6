# Helpers shared by every module's CMakeLists.txt.

# suite_test(<module> <name> SOURCES ... LIBS ...)
# A GoogleTest executable whose tests carry the CTest label <module>.
function(suite_test module name)
  if(NOT SUITE_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${module}
    DISCOVERY_TIMEOUT 60)
endfunction()

# suite_subdirectories(<name> ...): add each sub-folder that exists.
macro(suite_subdirectories)
  foreach(sub ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/CMakeLists.txt)
      add_subdirectory(${sub})
    endif()
  endforeach()
endmacro()

# suite_gui_test(<module> <name> SOURCES ... LIBS ...)
# A GoogleTest executable for windows and dialogs: its main (qtsupport) makes the
# QApplication on Qt's offscreen platform, so the tests need no display.
function(suite_gui_test module name)
  if(NOT SUITE_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} qtsupport::test_main GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${module} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()
