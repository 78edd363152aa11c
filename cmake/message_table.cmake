# nf_message_table(<target> <mc file>): compiles the message texts with MinGW's
# windmc and links the table into the executable's resources, so that Event
# Viewer finds the texts of its events in the file the event sources name.
# The table's .bin file is named by the LanguageNames line of the .mc file.
find_program(NF_WINDMC NAMES ${NF_MINGW_PREFIX}-windmc windmc REQUIRED)

function(nf_message_table target mc)
  get_filename_component(name ${mc} NAME_WE)
  set(out ${CMAKE_BINARY_DIR}/messages/${target})
  set(rc ${out}/${name}.rc)
  add_custom_command(OUTPUT ${rc} ${out}/MSG00409.bin
    BYPRODUCTS ${out}/${name}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${NF_WINDMC} -h ${out} -r ${out} ${mc}
    DEPENDS ${mc}
    COMMENT "Compiling the message table ${name}.mc"
    VERBATIM)
  # windres looks for the table's .bin file, which the generated .rc names
  # without a folder, along the include path.
  set_source_files_properties(${rc} PROPERTIES INCLUDE_DIRECTORIES ${out} OBJECT_DEPENDS ${out}/MSG00409.bin)
  target_sources(${target} PRIVATE ${rc})
endfunction()
