# Per-build settings: static run-time libraries and zlib for win32, sanitizers natively.
add_library(vexo_platform INTERFACE)

if(WIN32)
  # The product depends on Windows system DLLs only: libgcc, libstdc++ and zlib are linked in.
  find_library(VEXO_ZLIB_STATIC NAMES libz.a REQUIRED)
  add_library(vexo_zlib INTERFACE)
  target_link_libraries(vexo_zlib INTERFACE ${VEXO_ZLIB_STATIC})
  target_link_options(vexo_platform INTERFACE -static-libgcc -static-libstdc++ -static)
  target_compile_definitions(vexo_platform INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  # Reproducible files: no build folder in the objects, no link time in the PE headers. Debug
  # information for reading crash dumps: the release DLL is stripped, its debug file kept (dist/).
  target_compile_options(vexo_platform INTERFACE -g -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
  target_link_options(vexo_platform INTERFACE -Wl,--no-insert-timestamp)
else()
  find_package(ZLIB REQUIRED)
  add_library(vexo_zlib INTERFACE)
  target_link_libraries(vexo_zlib INTERFACE ZLIB::ZLIB)
  option(VEXO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
  if(VEXO_SANITIZE)
    set(VEXO_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_compile_options(${VEXO_SAN_FLAGS})
    add_link_options(${VEXO_SAN_FLAGS})
  endif()
endif()
