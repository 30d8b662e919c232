# macOS: KEMEngine.bundle, a loadable bundle (MH_BUNDLE) with both Intel and
# Apple-silicon code, exporting only _EntryPoint, signed ad hoc after the build
# when codesign is there (arm64 code must be signed to load at all).
# Nothing on our Linux machines compiles this file's target; every setting is
# checked against Apple's and CMake's documentation (docs/platforms.md).
#
#   BUNDLE + BUNDLE_EXTENSION   CMake's CFBundle for a MODULE library:
#                               KEMEngine.bundle/Contents/{Info.plist,MacOS/KEMEngine}
#   OSX_ARCHITECTURES           one universal (fat) binary; the layer libraries are
#                               universal too, so that both slices link
#   -exported_symbols_list      ld64's counterpart of GNU ld's --version-script
#   -undefined error            ld64's counterpart of --no-undefined (its default, said aloud)
#   codesign --sign -           an ad-hoc signature; notarization is the distributor's step

set(KEM_APPLE_ARCHITECTURES "x86_64;arm64" CACHE STRING "Slices of the plug-in bundle")

configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/Info.plist.in ${CMAKE_BINARY_DIR}/KEMEngine-Info.plist @ONLY)

foreach(layer platform plugin host timeline events server commands surface module)
  set_target_properties(kem_${layer} PROPERTIES OSX_ARCHITECTURES "${KEM_APPLE_ARCHITECTURES}")
endforeach()

set_target_properties(KEMEngine PROPERTIES
  BUNDLE TRUE
  BUNDLE_EXTENSION bundle
  OSX_ARCHITECTURES "${KEM_APPLE_ARCHITECTURES}"
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_BINARY_DIR}/KEMEngine-Info.plist)
target_link_options(KEMEngine PRIVATE
  "LINKER:-exported_symbols_list,${CMAKE_CURRENT_SOURCE_DIR}/module/exports.apple"
  "LINKER:-undefined,error")

find_program(KEM_CODESIGN codesign)
if(KEM_CODESIGN)
  add_custom_command(TARGET KEMEngine POST_BUILD
    COMMAND ${KEM_CODESIGN} --force --sign - --timestamp=none "$<TARGET_BUNDLE_DIR:KEMEngine>"
    COMMENT "Signing KEMEngine.bundle ad hoc"
    VERBATIM)
endif()
