# velko_utf8_code_page(<target> <INTERFACE|PRIVATE>) links into <target>, or
# into whatever links it, the manifest utf8.manifest: it makes UTF-8 the
# program's code page on Windows 10 1903 and later, so that its arguments
# arrive in UTF-8 as every name is inside the tools, and declares that the
# program takes paths longer than 260 characters where the machine allows
# them. windres (CMAKE_RC_COMPILER, which the toolchain file names) compiles
# it.
function(velko_utf8_code_page target scope)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_utf8.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_utf8.res.o)
  file(WRITE ${script} "1 24 \"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/utf8.manifest\"\n")
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} ${script} -O coff -o ${object}
    DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/utf8.manifest
    VERBATIM)
  add_custom_target(${target}_utf8 DEPENDS ${object})
  add_dependencies(${target} ${target}_utf8)
  target_link_libraries(${target} ${scope} ${object})
endfunction()
