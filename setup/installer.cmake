# The installer program BrindlemoorSetup: its start-up, window and flow
# around the install and uninstall procedures.

# The command line and the naming of Windows versions are portable.
add_library(setup_installer_text STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/command_line.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/os_version.cpp)
qx_target(setup_installer_text)
target_include_directories(setup_installer_text PUBLIC ${PROJECT_SOURCE_DIR})

if(WIN32 AND TARGET setup_procedures AND TARGET brindlemoor_package)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(INSTALLER_ARCHITECTURE amd64)
  else()
    set(INSTALLER_ARCHITECTURE x86)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/resources/setup/installer.manifest.in
                 ${CMAKE_CURRENT_BINARY_DIR}/installer_resources/installer.manifest @ONLY)

  add_executable(BrindlemoorSetup WIN32
    ${CMAKE_CURRENT_SOURCE_DIR}/installer_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/installer_window.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/desktop_shell.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/system_probe.cpp
    ${PROJECT_SOURCE_DIR}/resources/setup/installer.rc)
  qx_target(BrindlemoorSetup)
  target_include_directories(BrindlemoorSetup PRIVATE
    ${PROJECT_SOURCE_DIR}/resources/setup ${CMAKE_CURRENT_BINARY_DIR}/installer_resources)
  target_link_libraries(BrindlemoorSetup PRIVATE
    setup_installer_text setup_procedures setupapi ole32 oleaut32 shell32)
  file(GLOB installer_art ${PROJECT_SOURCE_DIR}/resources/setup/*.bmp
       ${PROJECT_SOURCE_DIR}/resources/setup/*.ico)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/setup/installer.rc PROPERTIES
    OBJECT_DEPENDS "${installer_art};${CMAKE_CURRENT_BINARY_DIR}/installer_resources/installer.manifest")
  get_target_property(package_file brindlemoor_package PACKAGE_FILE)
  qx_add_package_resource(BrindlemoorSetup ${package_file} brindlemoor_package)
endif()
