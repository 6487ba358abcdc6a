# The shipped Module.sep: lean, versioned and reproducible, built this way in
# every Windows build so that the tests load exactly what a release ships.
# Included after the module's targets are defined.

set(TESSEL_VERSION_SUFFIX "" CACHE STRING "appended to the version texts, e.g. -dirty for a tree with changes")
set(TESSEL_VERSION "${PROJECT_VERSION}${TESSEL_VERSION_SUFFIX}")
# What scripts/release names the zip after: the version from one place.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/release-version.txt CONTENT "${TESSEL_VERSION}\n")

if(NOT WIN32)
  # The native library is a test vehicle; it is not shipped.
  set(TESSEL_UNSTRIPPED_MODULE $<TARGET_FILE:tessel_module>)
  return()
endif()

# Everything the DLL holds must be its own or msvcrt's: no exception handling
# (it would bring the unwinder, and through it the thread library), no RTTI,
# no unwind tables, and every function and datum in a section of its own so
# that the linker drops what nothing reaches. No build path reaches the binary.
set(tessel_lean_options
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fdata-sections
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
  -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
foreach(target tessel_framework tessel_entry_points tessel_core tessel_nothrow_allocation tessel_module)
  target_compile_options(${target} PRIVATE ${tessel_lean_options})
endforeach()

# ld would derive the image base from the output name and stamp the link time;
# a fixed base and no stamp make two builds of one commit byte-identical.
# Module.map tells what each runtime object was pulled in for.
set(TESSEL_IMAGE_BASE 0x6A400000)
target_link_options(tessel_module PRIVATE
  -Wl,--gc-sections
  -Wl,--no-insert-timestamp
  -Wl,--image-base,${TESSEL_IMAGE_BASE}
  -Wl,-Map,${CMAKE_BINARY_DIR}/Module.map)

# The version resource: what Windows shows under the file's properties.
enable_language(RC)
configure_file(${CMAKE_SOURCE_DIR}/framework/module_version.rc.in
  ${CMAKE_BINARY_DIR}/module_version.rc @ONLY)
target_sources(tessel_module PRIVATE ${CMAKE_BINARY_DIR}/module_version.rc)

# Link with symbols, keep that copy for the binary checks that need them, then
# strip the linked file in place: Module.sep is what the tests load and what a
# release ships. strip stamps the current time unless SOURCE_DATE_EPOCH says
# otherwise; 0 matches the link.
set(TESSEL_UNSTRIPPED_MODULE ${CMAKE_BINARY_DIR}/unstripped/Module.sep)
add_custom_command(TARGET tessel_module POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/unstripped
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tessel_module> ${TESSEL_UNSTRIPPED_MODULE}
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} --strip-all $<TARGET_FILE:tessel_module>
  BYPRODUCTS ${TESSEL_UNSTRIPPED_MODULE}
  VERBATIM)
