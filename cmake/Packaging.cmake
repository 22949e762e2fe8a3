# What `cmake --install` puts where, and the packages CPack makes of it:
# a Debian package (`cpack -G DEB` in a Linux release build) and a zip for
# Windows (`cpack -G ZIP` in a mingw-w64 release build).
#
# Installed are the user-facing programs that this build has, their manual
# pages, the README and the licence; nothing of the tests, tools, benchmarks
# or fuzz targets. Install components:
#   programs  the programs, manual pages and README
#   licence   LICENSE (the Debian package carries it as its copyright file)
#   debian    copyright, changelog.Debian.gz and the lintian overrides; only
#             the Debian package installs them
# Target package_files builds everything the install rules need.

include(GNUInstallDirs)

set(RT_USER_PROGRAMS trackconv pixmill millview modbatch datpack)
set(RT_PACKAGE_NAME ${PROJECT_NAME})
set(RT_MAN_SOURCE_DIR ${PROJECT_SOURCE_DIR}/docs/man)
set(RT_PACKAGE_BINARY_DIR ${CMAKE_BINARY_DIR}/package)
set(RT_DEBIAN_REVISION 1)
set(CPACK_PACKAGE_CONTACT "trackconv and pixmill authors <racingtools@example.org>")

if(WIN32)
  # A folder to unpack anywhere: the programs at its top, the documents as
  # Windows text files beside them, the manual pages rendered into doc/.
  set(RT_INSTALL_BIN .)
  set(RT_INSTALL_DOC .)
  set(RT_INSTALL_MAN doc)
else()
  set(RT_INSTALL_BIN ${CMAKE_INSTALL_BINDIR})
  set(RT_INSTALL_DOC ${CMAKE_INSTALL_DATADIR}/doc/${RT_PACKAGE_NAME})
  set(RT_INSTALL_MAN ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(WIN32)
  find_program(RT_GROFF groff)
else()
  find_program(RT_GZIP gzip REQUIRED)
endif()

# Makes <output> from <input> with cmake/PackageFile.cmake in mode <mode>;
# the output is added to the list named by <outputs>.
function(rt_package_file outputs mode input output)
  set(tool_args)
  if(mode STREQUAL "gzip")
    set(tool_args -DTOOL=${RT_GZIP})
  elseif(mode STREQUAL "man-text")
    set(tool_args -DTOOL=${RT_GROFF})
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DMODE=${mode} -DINPUT=${input} -DOUTPUT=${output} ${tool_args}
            -P ${PROJECT_SOURCE_DIR}/cmake/PackageFile.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/PackageFile.cmake
    VERBATIM)
  set(${outputs} ${${outputs}} ${output} PARENT_SCOPE)
endfunction()

set(rt_generated)
set(rt_programs)
foreach(program ${RT_USER_PROGRAMS})
  if(NOT TARGET ${program})
    continue()
  endif()
  list(APPEND rt_programs ${program})
  install(TARGETS ${program} RUNTIME DESTINATION ${RT_INSTALL_BIN} COMPONENT programs)
  set(page ${RT_MAN_SOURCE_DIR}/${program}.1)
  if(NOT EXISTS ${page})
    message(WARNING "${program} has no manual page docs/man/${program}.1")
    continue()
  endif()
  if(WIN32)
    if(RT_GROFF)
      set(text ${RT_PACKAGE_BINARY_DIR}/${program}.txt)
      rt_package_file(rt_generated man-text ${page} ${text})
      install(FILES ${text} DESTINATION ${RT_INSTALL_MAN} COMPONENT programs)
    else()
      message(WARNING "groff not found (Debian: groff-base): no rendered manual pages in the package")
    endif()
  else()
    # Debian keeps manual pages compressed, without a time stamp.
    set(compressed ${RT_PACKAGE_BINARY_DIR}/${program}.1.gz)
    rt_package_file(rt_generated gzip ${page} ${compressed})
    install(FILES ${compressed} DESTINATION ${RT_INSTALL_MAN} COMPONENT programs)
  endif()
endforeach()

# millview's 3D pages load three.js. The Debian package recommends
# libjs-three, which installs it where millview looks; the Windows zips
# carry the same files, laid out as the package has them, in
# javascript/three beside the programs, with the library's copyright.
set(RT_THREE_DIR /usr/share/javascript/three CACHE PATH "Debian's libjs-three, for the Windows zips")
if(WIN32 AND TARGET millview)
  set(rt_three_files three.min.js examples/js/loaders/GLTFLoader.js examples/js/controls/OrbitControls.js)
  set(rt_three_found TRUE)
  foreach(file ${rt_three_files})
    if(NOT EXISTS ${RT_THREE_DIR}/${file})
      set(rt_three_found FALSE)
    endif()
  endforeach()
  if(rt_three_found)
    foreach(file ${rt_three_files})
      get_filename_component(folder ${file} DIRECTORY)
      install(FILES ${RT_THREE_DIR}/${file} DESTINATION ${RT_INSTALL_BIN}/javascript/three/${folder}
              COMPONENT programs)
    endforeach()
    if(EXISTS /usr/share/doc/libjs-three/copyright)
      rt_package_file(rt_generated crlf /usr/share/doc/libjs-three/copyright
                      ${RT_PACKAGE_BINARY_DIR}/three-copyright.txt)
      install(FILES ${RT_PACKAGE_BINARY_DIR}/three-copyright.txt DESTINATION ${RT_INSTALL_BIN}/javascript/three
              RENAME copyright.txt COMPONENT programs)
    endif()
  else()
    message(WARNING "three.js not found in ${RT_THREE_DIR} (Debian: libjs-three): "
                    "the zip's millview makes no 3D pages")
  endif()
endif()

if(WIN32)
  # Notepad and friends expect CR LF line ends and a .txt extension.
  rt_package_file(rt_generated crlf ${PROJECT_SOURCE_DIR}/README.md ${RT_PACKAGE_BINARY_DIR}/README.txt)
  rt_package_file(rt_generated crlf ${PROJECT_SOURCE_DIR}/LICENSE ${RT_PACKAGE_BINARY_DIR}/LICENSE.txt)
  install(FILES ${RT_PACKAGE_BINARY_DIR}/README.txt DESTINATION ${RT_INSTALL_DOC} COMPONENT programs)
  install(FILES ${RT_PACKAGE_BINARY_DIR}/LICENSE.txt DESTINATION ${RT_INSTALL_DOC} COMPONENT licence)
else()
  install(FILES README.md DESTINATION ${RT_INSTALL_DOC} COMPONENT programs)
  install(FILES LICENSE DESTINATION ${RT_INSTALL_DOC} COMPONENT licence)

  # The Debian package's own files, dated by SOURCE_DATE_EPOCH when that is set.
  string(TIMESTAMP RT_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
    ${RT_PACKAGE_BINARY_DIR}/changelog.Debian @ONLY)
  rt_package_file(rt_generated gzip ${RT_PACKAGE_BINARY_DIR}/changelog.Debian
    ${RT_PACKAGE_BINARY_DIR}/changelog.Debian.gz)
  install(FILES ${RT_PACKAGE_BINARY_DIR}/changelog.Debian.gz
    DESTINATION ${RT_INSTALL_DOC} COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES LICENSE DESTINATION ${RT_INSTALL_DOC} RENAME copyright
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${RT_PACKAGE_NAME}
    COMPONENT debian EXCLUDE_FROM_ALL)
endif()

add_custom_target(package_files ALL DEPENDS ${rt_generated})
if(rt_programs)
  add_dependencies(package_files ${rt_programs})
endif()

# Every page in docs/man lints clean (the tools run on the build machine).
if(RT_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_test(NAME man_pages_lint
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/lint-man.sh ${RT_MAN_SOURCE_DIR})
  set_tests_properties(man_pages_lint PROPERTIES SKIP_RETURN_CODE 77)
  if(TARGET pixmill)
    add_test(NAME pixmill_man_page_lists_every_switch
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/lint-man.sh --usage $<TARGET_FILE:pixmill>
              ${RT_MAN_SOURCE_DIR}/pixmill.1)
  endif()
endif()

set(CPACK_PACKAGE_NAME ${RT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the trackconv and pixmill authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converters of tracks and textures for racing simulations")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES TRUE)
# Per generator: which components the package holds (cmake/CPackOptions.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake)
set(CPACK_RT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_RT_OBJCOPY ${CMAKE_OBJCOPY})

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${RT_DEBIAN_REVISION})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack puts the summary in front and indents the lines of the rest.
  set(CPACK_PACKAGE_DESCRIPTION
"Console tools for people who make content for a family of racing
simulations. trackconv converts the track of a game directory (VTR, MOTA
and the K5/K6/KV family) into the XQ track format. pixmill converts a PCX
or Targa picture into a MIP texture or an SRB sprite.")
  if(TARGET millview)
    string(APPEND CPACK_PACKAGE_DESCRIPTION
      "\nmillview shows textures as PNG pictures and tracks as SVG plans and glTF models.")
    # The galleries' 3D pages; without it millview makes the rest.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libjs-three)
  endif()
  if(TARGET modbatch)
    string(APPEND CPACK_PACKAGE_DESCRIPTION
      "\nmodbatch converts a whole mod folder in parallel, only what changed.")
  endif()
  if(TARGET datpack)
    string(APPEND CPACK_PACKAGE_DESCRIPTION
      "\ndatpack lists, unpacks, packs and checks .dat archives, byte for byte.")
  endif()
endif()

include(CPack)
