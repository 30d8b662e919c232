# Release archives (make package): a ZIP of the module with its install and
# uninstall scripts, INSTALL.txt, the example origins.txt and SHA256SUMS.txt,
# and a .sha256 of the archive beside it. Built from the "package" install
# component, whose paths are relative, so nothing of the developer's install
# rules (absolute host folders) gets in.
if(WIN32)
  set(KEM_PACKAGE_SYSTEM windows-x64)
  set(KEM_PACKAGE_SCRIPTS packaging/install.ps1 packaging/uninstall.ps1)
  set(KEM_PACKAGE_README packaging/INSTALL-windows.txt)
elseif(APPLE)
  set(KEM_PACKAGE_SYSTEM macos-universal)
  set(KEM_PACKAGE_SCRIPTS packaging/install.sh packaging/uninstall.sh)
  set(KEM_PACKAGE_README packaging/INSTALL-macos.txt)
else()
  return()  # no editing host on Linux: nothing to package
endif()

install(TARGETS KEMEngine LIBRARY DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
install(PROGRAMS ${KEM_PACKAGE_SCRIPTS} DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
configure_file(${KEM_PACKAGE_README} ${CMAKE_BINARY_DIR}/package-files/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package-files/INSTALL.txt packaging/origins.example.txt
        DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
# Last: the sums of everything above, with paths relative to the archive's top.
install(CODE [[
  set(_top "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(GLOB_RECURSE _files RELATIVE "${_top}" "${_top}/*")
  list(REMOVE_ITEM _files SHA256SUMS.txt)
  list(SORT _files)
  set(_sums "")
  foreach(_f IN LISTS _files)
    file(SHA256 "${_top}/${_f}" _hash)
    string(APPEND _sums "${_hash}  ${_f}\n")
  endforeach()
  file(WRITE "${_top}/SHA256SUMS.txt" "${_sums}")
]] COMPONENT package EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KEMEngine)
set(CPACK_PACKAGE_VERSION ${KEM_VERSION})
set(CPACK_PACKAGE_FILE_NAME KEMEngine-${KEM_VERSION}-${KEM_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};KEMEngine;package;/")
include(CPack)
