# GoogleTest from Debian's sources, built with the current toolchain, and a helper that
# registers one test program with ctest.
set(VEXO_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VEXO_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# vexo_add_test(NAME src... LIBS lib...)
# Each program is one ctest entry; it writes a JUnit XML report that `make test` sums up.
function(vexo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main vexo_platform vexo_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  set(work ${CMAKE_BINARY_DIR}/testwork/${name})
  file(MAKE_DIRECTORY ${work})
  set(report ${CMAKE_BINARY_DIR}/reports/${name}.xml)
  if(WIN32)
    set(report "Z:${report}")  # Wine maps the Unix root to drive Z:
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${report} WORKING_DIRECTORY ${work})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
  else()
    # Keep the plug-in's per-user folders (module directory, Firefox profile) inside the build.
    file(MAKE_DIRECTORY ${work}/home)
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "HOME=${work}/home;XDG_DATA_HOME=${work}/home/.local/share")
  endif()
endfunction()
