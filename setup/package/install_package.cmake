# Making install packages during the build.
#
# qx_add_install_package(<target> <folder> <output.bin> [DEPENDS <file or target>...])
#   Adds the target <target>, which runs a host mkpackage to pack the 25 files
#   of <folder> into <output.bin> whenever a file in the folder (as seen at
#   configure time) or one named after DEPENDS changes. Name the files or
#   targets that produce the folder's content after DEPENDS when the folder is
#   filled during the build.
#
# qx_add_package_resource(<target> <output.bin> [<package target>])
#   Gives the Windows target <target> the package as resource RCDATA 100,
#   through a generated .rc file compiled by windres, rebuilt when the package
#   changes.
#
# The host mkpackage: in a host build it is the tools/ target `mkpackage`. A
# cross build cannot build host executables as targets, so tools/ compiles the
# same sources with the host compiler in a custom command into
# <build>/host/mkpackage (target `host_mkpackage`).

function(qx_host_mkpackage out_tool out_target)
  if(CMAKE_CROSSCOMPILING)
    set(${out_tool} ${CMAKE_BINARY_DIR}/host/mkpackage PARENT_SCOPE)
    set(${out_target} host_mkpackage PARENT_SCOPE)
  else()
    set(${out_tool} $<TARGET_FILE:mkpackage> PARENT_SCOPE)
    set(${out_target} mkpackage PARENT_SCOPE)
  endif()
endfunction()

function(qx_add_install_package target folder output)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  qx_host_mkpackage(tool tool_target)
  file(GLOB folder_files CONFIGURE_DEPENDS ${folder}/*)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${tool} build ${folder} -o ${output}
    DEPENDS ${tool_target} ${tool} ${folder_files} ${ARG_DEPENDS}
    COMMENT "Packing ${folder} into ${output}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${output})
endfunction()

function(qx_add_package_resource target package)
  get_filename_component(package ${package} ABSOLUTE)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_package.rc)
  file(CONFIGURE OUTPUT ${rc}
       CONTENT "// Generated: the install package as resource RCDATA 100.\n100 RCDATA \"${package}\"\n")
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${package})
  if(ARGC GREATER 2)
    add_dependencies(${target} ${ARGV2})
  endif()
endfunction()
