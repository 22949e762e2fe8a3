# Run by cpack before it packs the Debian package: takes the compiler's
# .comment and the .note sections out of the (already stripped) programs,
# as Debian's own packaging tools do.
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program ${programs})
  execute_process(COMMAND ${CPACK_RT_OBJCOPY} --remove-section=.comment --remove-section=.note
    ${program} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objcopy failed on ${program}")
  endif()
endforeach()
