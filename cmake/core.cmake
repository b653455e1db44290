# The portable core: payload reading, bounded text, installer state and the
# platform layer beneath them. Built twice: `setup_core` as shipped, and
# `setup_core_faults` for tests, whose platform layer can be told to fail.
set(SETUP_CORE_SOURCES
  src/payload/payload_container.cpp
  src/payload/archive_reader.cpp
  src/payload/archive_pass.cpp
  src/support/bounded_text.cpp
  src/support/cp1252.cpp
  src/core/installer_state.cpp
  src/core/string_tables.cpp
  src/dialog/scan_handler.cpp
  src/platform/platform_faults.cpp)
if(WIN32)
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_win32.cpp)
else()
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_posix.cpp)
endif()

function(add_setup_core name)
  add_library(${name} STATIC ${SETUP_CORE_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC lzma_dec)
endfunction()

add_setup_core(setup_core)
add_setup_core(setup_core_faults)
target_compile_definitions(setup_core_faults PUBLIC PLATFORM_FAULT_INJECTION)
