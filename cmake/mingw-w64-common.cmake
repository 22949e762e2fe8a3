# Shared part of the mingw-w64 toolchain files. Expects RT_MINGW_TRIPLE (the
# compiler prefix) and RT_WINE (the Wine loader that runs the results).

set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives std::thread on every supported compiler
# version; fall back to the plain name when only the default is installed.
foreach(lang C CXX)
  if(lang STREQUAL "C")
    set(driver gcc)
  else()
    set(driver g++)
  endif()
  find_program(RT_MINGW_${lang} NAMES ${RT_MINGW_TRIPLE}-${driver}-posix ${RT_MINGW_TRIPLE}-${driver})
  if(NOT RT_MINGW_${lang})
    message(FATAL_ERROR "${RT_MINGW_TRIPLE}-${driver} not found: install g++-mingw-w64-${RT_MINGW_PACKAGE_ARCH}-posix")
  endif()
  set(CMAKE_${lang}_COMPILER ${RT_MINGW_${lang}})
endforeach()
set(CMAKE_RC_COMPILER ${RT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the executables through Wine, with a prefix
# of its own inside the build folder so that nothing depends on $HOME.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;${RT_WINE};${CMAKE_BINARY_DIR}/wineprefix")
endif()
