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

# tinygltf (libtinygltf-dev) and the JSON library it writes with
# (nlohmann-json3-dev): header-only C++ that compiles for any target. They
# sit in the build machine's /usr/include among its system headers, which a
# cross build must not see, so the two are copied into the build tree and
# only that copy is on the include path, for every target alike.
#
#   rt_tinygltf  tiny_gltf.h and nlohmann/json.hpp; exactly one source file
#                defines TINYGLTF_IMPLEMENTATION.
find_path(RT_TINYGLTF_INCLUDE_DIR tiny_gltf.h PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(RT_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(RT_TINYGLTF_INCLUDE_DIR AND RT_NLOHMANN_INCLUDE_DIR)
  set(RT_MODEL_HEADERS ${CMAKE_BINARY_DIR}/model-headers)
  configure_file(${RT_TINYGLTF_INCLUDE_DIR}/tiny_gltf.h ${RT_MODEL_HEADERS}/tiny_gltf.h COPYONLY)
  file(GLOB_RECURSE RT_NLOHMANN_HEADERS RELATIVE ${RT_NLOHMANN_INCLUDE_DIR}
       ${RT_NLOHMANN_INCLUDE_DIR}/nlohmann/*.hpp)
  foreach(header IN LISTS RT_NLOHMANN_HEADERS)
    configure_file(${RT_NLOHMANN_INCLUDE_DIR}/${header} ${RT_MODEL_HEADERS}/${header} COPYONLY)
  endforeach()
  add_library(rt_tinygltf INTERFACE)
  target_include_directories(rt_tinygltf SYSTEM INTERFACE ${RT_MODEL_HEADERS})
else()
  message(WARNING "tiny_gltf.h or nlohmann/json.hpp not found (Debian: libtinygltf-dev, "
                  "nlohmann-json3-dev); millview is not built")
endif()
