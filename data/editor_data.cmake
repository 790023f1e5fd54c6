# The editor's own data files, converted to Shift-JIS with CR LF line ends into the build's
# share folder with their sub-folders kept (Module/ below it): the module list, the language
# texts of the installer module and the editor data file. Safe to include more than once.
if(NOT TARGET suite_data_editor)
  find_program(SUITE_ICONV iconv REQUIRED)
  set(_editor_data_source ${PROJECT_SOURCE_DIR}/data)
  set(_editor_data_dir ${CMAKE_BINARY_DIR}/share/${SUITE_NAME})
  set(_editor_data_outputs)
  foreach(file MODULE.DAT ZERIRU.DAT Module/ZU_VAZUZA.LNG)
    set(output ${_editor_data_dir}/${file})
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DICONV=${SUITE_ICONV} -DSOURCE=${_editor_data_source}/${file} -DOUTPUT=${output}
              -P ${_editor_data_source}/ConvertToShiftJis.cmake
      DEPENDS ${_editor_data_source}/${file} ${_editor_data_source}/ConvertToShiftJis.cmake
      COMMENT "Shift-JIS ${file}"
      VERBATIM)
    list(APPEND _editor_data_outputs ${output})
  endforeach()
  # Until the installer module program is built, a placeholder takes its name.
  set(_module_program ${_editor_data_dir}/Module/ZU_VAZUZA.DAT)
  add_custom_command(OUTPUT ${_module_program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_editor_data_dir}/Module
    COMMAND ${CMAKE_COMMAND} -E copy ${_editor_data_source}/Module/placeholder_module.sh ${_module_program}
    DEPENDS ${_editor_data_source}/Module/placeholder_module.sh
    COMMENT "Placeholder Module/ZU_VAZUZA.DAT"
    VERBATIM)
  add_custom_target(suite_data_editor ALL DEPENDS ${_editor_data_outputs} ${_module_program})
  install(FILES ${_editor_data_dir}/MODULE.DAT ${_editor_data_dir}/ZERIRU.DAT DESTINATION ${SUITE_SHARE_DIR})
  install(FILES ${_editor_data_dir}/Module/ZU_VAZUZA.LNG DESTINATION ${SUITE_SHARE_DIR}/Module)
  install(PROGRAMS ${_module_program} DESTINATION ${SUITE_SHARE_DIR}/Module)
endif()
