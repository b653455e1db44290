# The portable core: the platform layer, bounded text, the payload reader and
# pass, the installer state and string lookup, and the two passes' entry
# handlers. Built more than once, each copy with its own decoder library:
# `setup_core` as shipped, `setup_core_faults` for tests, whose platform
# layer can be told to fail, and in the win64 build `setup_core_stub`, small
# rather than fast, for setup.exe.
set(SETUP_CORE_SOURCES
  src/platform/cp1252.cpp
  src/platform/platform_faults.cpp
  src/support/bounded_text.cpp
  src/support/name_rule.cpp
  src/support/destination_path.cpp
  src/payload/payload_container.cpp
  src/payload/archive_reader.cpp
  src/payload/decode_pipeline.cpp
  src/payload/archive_pass.cpp
  src/core/installer_state.cpp
  src/core/installer_pass.cpp
  src/core/string_tables.cpp
  src/passes/scan_handler.cpp
  src/passes/extract_handler.cpp
  src/passes/pass_events.cpp
  src/passes/scan_job.cpp
  src/passes/extract_job.cpp)
# The files come from a backend chosen at link time: the system's, or, for
# tests and fuzzing, memory (SETUP_MEMORY_FILES), never in a shipped program.
if(WIN32)
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_win32.cpp)
  set(SETUP_SYSTEM_FILES)
else()
  list(APPEND SETUP_CORE_SOURCES src/platform/platform_posix.cpp src/platform/platform_posix_runtime.cpp)
  set(SETUP_SYSTEM_FILES src/platform/platform_posix_files.cpp)
endif()
set(SETUP_MEMORY_FILES src/platform/platform_memory_files.cpp)

find_package(Threads REQUIRED)

# add_setup_core(name decoder [files...]): the files' backend defaults to the system's.
function(add_setup_core name decoder)
  set(files ${ARGN})
  if(NOT files)
    set(files ${SETUP_SYSTEM_FILES})
  endif()
  add_library(${name} STATIC ${SETUP_CORE_SOURCES} ${files})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${decoder})
  if(NOT WIN32)
    target_link_libraries(${name} PUBLIC Threads::Threads)
  endif()
endfunction()

add_setup_core(setup_core lzma_dec)
add_setup_core(setup_core_faults lzma_dec)
target_compile_definitions(setup_core_faults PUBLIC PLATFORM_FAULT_INJECTION)
if(NOT WIN32)
  add_setup_core(setup_core_memory lzma_dec ${SETUP_MEMORY_FILES})
  target_compile_definitions(setup_core_memory PUBLIC PLATFORM_FAULT_INJECTION)
endif()

if(WIN32)
  set(STUB_COMPILE_OPTIONS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -ffunction-sections -fdata-sections)
  add_library(lzma_dec_stub STATIC ${LZMA_SDK_DIR}/LzmaDec.c)
  target_include_directories(lzma_dec_stub SYSTEM PUBLIC ${LZMA_SDK_DIR})
  target_compile_options(lzma_dec_stub PRIVATE -Os -ffunction-sections -fdata-sections)
  add_setup_core(setup_core_stub lzma_dec_stub)
  target_compile_options(setup_core_stub PRIVATE ${STUB_COMPILE_OPTIONS})
endif()
