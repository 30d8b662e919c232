# Installing into the editing host: the module where the host looks for
# control-surface plug-ins, and the user's allowlist folder with a commented
# example origins.txt when there is none (an existing one is never touched).
# `make uninstall` removes exactly what was installed and never origins.txt.
#
#   KEM_PLUGIN_DIR   the host's plug-in folder (cache variable; the defaults are
#                    the host's documented folders on macOS and Windows)
#   DESTDIR          stages the whole install below another root, as usual
#   KEM_ALLOWLIST_DIR (environment, at install time) the allowlist folder to
#                    create instead of the user's own

if(APPLE)
  set(KEM_DEFAULT_PLUGIN_DIR "/Library/Application Support/Adobe/Common/Plug-ins/ControlSurface")
elseif(WIN32)
  set(KEM_DEFAULT_PLUGIN_DIR "C:/Program Files/Adobe/Common/Plug-ins/ControlSurface")
else()
  # No editing host on Linux: the development layout, below the prefix.
  set(KEM_DEFAULT_PLUGIN_DIR "${CMAKE_INSTALL_PREFIX}/lib/kem-engine/ControlSurface")
endif()
set(KEM_PLUGIN_DIR "${KEM_DEFAULT_PLUGIN_DIR}" CACHE PATH "Where the host looks for control-surface plug-ins")

set(KEM_INSTALL_RECORD "${CMAKE_BINARY_DIR}/install_created_dirs.txt")

# First: note which folders of the plug-in folder's path do not exist yet, so
# that uninstalling can remove those (when empty) and nothing that was there.
install(CODE "
  set(_kem_dir \"\$ENV{DESTDIR}${KEM_PLUGIN_DIR}\")
  set(_kem_created \"\")
  while(NOT EXISTS \"\${_kem_dir}\")
    list(APPEND _kem_created \"\${_kem_dir}\")
    get_filename_component(_kem_parent \"\${_kem_dir}\" DIRECTORY)
    if(_kem_parent STREQUAL _kem_dir)
      break()
    endif()
    set(_kem_dir \"\${_kem_parent}\")
  endwhile()
  if(EXISTS \"${KEM_INSTALL_RECORD}\")
    file(STRINGS \"${KEM_INSTALL_RECORD}\" _kem_before)
    list(APPEND _kem_created \${_kem_before})
    list(REMOVE_DUPLICATES _kem_created)
  endif()
  string(REPLACE \";\" \"\\n\" _kem_lines \"\${_kem_created}\")
  file(WRITE \"${KEM_INSTALL_RECORD}\" \"\${_kem_lines}\\n\")
")

install(TARGETS KEMEngine LIBRARY DESTINATION "${KEM_PLUGIN_DIR}")

# The allowlist folder of the user who installs (with sudo on macOS: the user
# who ran sudo, who then owns what is made here).
install(CODE "
  set(_kem_allow \"\$ENV{KEM_ALLOWLIST_DIR}\")
  if(NOT _kem_allow)
    if(${WIN32})
      if(NOT \"\$ENV{APPDATA}\" STREQUAL \"\")
        set(_kem_allow \"\$ENV{APPDATA}/KEM Engine\")
      endif()
    elseif(NOT \"\$ENV{HOME}\" STREQUAL \"\")
      set(_kem_allow \"\$ENV{HOME}/Library/Application Support/KEM Engine\")
    endif()
  endif()
  if(_kem_allow)
    set(_kem_allow \"\$ENV{DESTDIR}\${_kem_allow}\")
    if(EXISTS \"\${_kem_allow}/origins.txt\")
      message(STATUS \"Kept: \${_kem_allow}/origins.txt\")
    else()
      file(MAKE_DIRECTORY \"\${_kem_allow}\")
      file(READ \"${CMAKE_CURRENT_SOURCE_DIR}/packaging/origins.example.txt\" _kem_example)
      file(WRITE \"\${_kem_allow}/origins.txt\" \"\${_kem_example}\")
      message(STATUS \"Created: \${_kem_allow}/origins.txt (an example, all comments)\")
      if(NOT \"\$ENV{SUDO_USER}\" STREQUAL \"\" AND NOT \"\$ENV{SUDO_USER}\" STREQUAL \"root\")
        execute_process(COMMAND chown -R \"\$ENV{SUDO_USER}\" \"\${_kem_allow}\")
      endif()
    endif()
  else()
    message(STATUS \"No user folder (HOME or APPDATA unset): the allowlist folder was not made\")
  endif()
")

configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/uninstall.cmake
                  COMMENT "Removing what the install put in place")
