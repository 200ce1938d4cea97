# Release builds (the release and release-windows presets, scripts/release):
# the binaries a user downloads. Two builds of one commit, from checkouts at
# different paths, must give the same bytes.
option(ZCAL_RELEASE "Build the release binaries: stripped, reproducible, static on Linux" OFF)
if(NOT ZCAL_RELEASE)
  return()
endif()

# Sources and generated files are named relative to their trees, so no path
# of the machine that built zcal lands in it.
add_compile_options(
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>)
# No symbols: they name nothing a user needs, and the file is smaller.
add_link_options(-s)
if(WIN32)
  # The PE header holds the link time unless told not to.
  add_link_options(-Wl,--no-insert-timestamp)
else()
  # One file that runs on any x86-64 Linux, whatever C library it has: zcal
  # needs nothing of the system at run time that a static link cannot carry.
  add_link_options(-static)
endif()
