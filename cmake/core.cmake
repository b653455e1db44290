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
  src/install/extract_handler.cpp
  src/platform/platform_faults.cpp)
if(WIN32)
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_win32.cpp)
else()
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_posix.cpp)
endif()

function(add_setup_core name)
  add_library(${name} STATIC ${SETUP_CORE_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(NOT name STREQUAL "setup_core_stub")
    target_link_libraries(${name} PUBLIC lzma_dec)
  endif()
endfunction()

add_setup_core(setup_core)
add_setup_core(setup_core_faults)
target_compile_definitions(setup_core_faults PUBLIC PLATFORM_FAULT_INJECTION)

# The stub's own copy: small rather than fast, where every kilobyte counts.
if(WIN32)
  set(STUB_COMPILE_OPTIONS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -ffunction-sections -fdata-sections)
  add_setup_core(setup_core_stub)
  target_compile_options(setup_core_stub PRIVATE ${STUB_COMPILE_OPTIONS})
  add_library(lzma_dec_stub STATIC ${LZMA_SDK_DIR}/LzmaDec.c)
  target_include_directories(lzma_dec_stub SYSTEM PUBLIC ${LZMA_SDK_DIR})
  target_compile_options(lzma_dec_stub PRIVATE -Os -ffunction-sections -fdata-sections)
  target_link_libraries(setup_core_stub PUBLIC lzma_dec_stub)
endif()
