# Read by cpack once per generator: which install components go into the
# package. The Debian package leaves out LICENSE, whose text it carries as
# its copyright file, and adds its own files; other packages take the
# programs and the licence.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 rt_build_dir)
set(rt_components programs licence)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(rt_components programs debian)
  if(CPACK_RT_OBJCOPY)
    set(CPACK_PRE_BUILD_SCRIPTS ${CPACK_RT_SOURCE_DIR}/cmake/debian/strip-notes.cmake)
  endif()
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS)
foreach(component ${rt_components})
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${rt_build_dir} ${CPACK_PACKAGE_NAME} ${component} /)
endforeach()
