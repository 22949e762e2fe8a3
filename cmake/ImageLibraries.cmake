# The image libraries of the newer code paths, from Debian packages:
# stb_image and stb_image_write (header-only, libstb-dev, the same headers
# for every target) and zlib (zlib1g-dev, or libz-mingw-w64-dev for the
# Windows builds).
#
# Targets:
#   rt_stb   the stb headers; exactly one source file per program defines
#            the implementation macros.
#   rt_zlib  zlib for the target system.

# The headers are plain C that compiles for any target, so they are looked
# up on the build machine even in cross builds.
find_path(RT_STB_INCLUDE_DIR stb_image.h
  PATHS /usr/include/stb /usr/local/include/stb
  NO_CMAKE_FIND_ROOT_PATH)
if(RT_STB_INCLUDE_DIR)
  add_library(rt_stb INTERFACE)
  target_include_directories(rt_stb SYSTEM INTERFACE ${RT_STB_INCLUDE_DIR})
else()
  message(WARNING "stb_image.h not found (Debian: libstb-dev); PNG support is not built")
endif()

find_package(ZLIB)
if(ZLIB_FOUND)
  add_library(rt_zlib INTERFACE)
  target_link_libraries(rt_zlib INTERFACE ZLIB::ZLIB)
else()
  if(CMAKE_CROSSCOMPILING)
    message(WARNING "zlib not found for the target (Debian: libz-mingw-w64-dev)")
  else()
    message(WARNING "zlib not found (Debian: zlib1g-dev)")
  endif()
endif()
