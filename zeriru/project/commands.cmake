# Installer modules and languages, editor settings, the project commands and the module
# conversion of the build, on top of the project file.
add_library(zeriru_project_commands STATIC
  modules.cpp
  language_texts.cpp
  editor_files.cpp
  convert_module.cpp
  editor_settings.cpp
  project_commands.cpp
  options_dialog_model.cpp)
add_library(zeriru::project_commands ALIAS zeriru_project_commands)
target_include_directories(zeriru_project_commands PUBLIC include)
target_link_libraries(zeriru_project_commands PUBLIC zeriru::project zeriru::ui platform::sjis platform::winpath)

suite_test(zeriru_project zeriru_project_commands_tests
  SOURCES
    tests/modules_test.cpp
    tests/convert_module_test.cpp
    tests/project_commands_test.cpp
    tests/editor_settings_test.cpp
    tests/editor_data_test.cpp
  LIBS zeriru::project_commands)

target_sources(zeriru_project_commands PRIVATE registry_settings_store.cpp winpath_mapper.cpp)
target_link_libraries(zeriru_project_commands PUBLIC platform::registry)
suite_test(zeriru_project zeriru_registry_settings_tests
  SOURCES tests/registry_settings_store_test.cpp
  LIBS zeriru::project_commands)
suite_test(zeriru_project zeriru_winpath_mapper_tests
  SOURCES tests/winpath_mapper_test.cpp
  LIBS zeriru::project_commands)

# The shipped module list, language texts and editor data, checked by the tests as the editor
# reads them (Shift-JIS, from the build's share folder).
if(TARGET zeriru_project_commands_tests)
  target_compile_definitions(zeriru_project_commands_tests PRIVATE
    ZERIRU_DATA_DIR="${CMAKE_BINARY_DIR}/share/${SUITE_NAME}")
  add_dependencies(zeriru_project_commands_tests suite_data_editor)
endif()
