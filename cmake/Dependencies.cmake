# LZO and GoogleTest: Debian's packages natively, the libraries that
# scripts/bootstrap cross-built from Debian's sources for the mingw targets.
set(TMD_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/deps" CACHE PATH "Cross-built dependencies")

if(WIN32)
  set(_prefix "${TMD_DEPS_DIR}")
  foreach(_lib lzo2 gtest gtest_main)
    if(_lib STREQUAL "lzo2")
      set(_dir "${_prefix}/lzo-${TMD_ARCH}")
    else()
      set(_dir "${_prefix}/gtest-${TMD_ARCH}")
    endif()
    if(NOT EXISTS "${_dir}/lib/lib${_lib}.a")
      message(FATAL_ERROR "${_dir}/lib/lib${_lib}.a is missing: run scripts/bootstrap")
    endif()
    add_library(tmd_dep_${_lib} STATIC IMPORTED GLOBAL)
    set_target_properties(tmd_dep_${_lib} PROPERTIES
      IMPORTED_LOCATION "${_dir}/lib/lib${_lib}.a"
      INTERFACE_INCLUDE_DIRECTORIES "${_dir}/include")
  endforeach()
  add_library(Tmd::lzo ALIAS tmd_dep_lzo2)
  add_library(Tmd::gtest INTERFACE IMPORTED GLOBAL)
  target_link_libraries(Tmd::gtest INTERFACE tmd_dep_gtest)
else()
  find_path(LZO_INCLUDE_DIR lzo/lzo1x.h REQUIRED)
  find_library(LZO_LIBRARY NAMES lzo2 REQUIRED)
  add_library(Tmd::lzo UNKNOWN IMPORTED GLOBAL)
  set_target_properties(Tmd::lzo PROPERTIES
    IMPORTED_LOCATION "${LZO_LIBRARY}" INTERFACE_INCLUDE_DIRECTORIES "${LZO_INCLUDE_DIR}")
  find_package(GTest REQUIRED)
  add_library(Tmd::gtest INTERFACE IMPORTED GLOBAL)
  target_link_libraries(Tmd::gtest INTERFACE GTest::gtest)
endif()
