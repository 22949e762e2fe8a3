# Makes one file of the packages from a source file, at build time:
#   cmake -DMODE=<mode> -DINPUT=<file> -DOUTPUT=<file> [-DTOOL=<program>] -P PackageFile.cmake
# Modes:
#   gzip      compressed as Debian expects (gzip -9n: no name, no time stamp)
#   man-text  a manual page rendered as plain text with CR LF line ends
#   crlf      a text file with CR LF line ends
cmake_minimum_required(VERSION 3.20)

function(write_crlf text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${OUTPUT} "${text}")
endfunction()

if(MODE STREQUAL "gzip")
  execute_process(COMMAND ${TOOL} -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
elseif(MODE STREQUAL "man-text")
  # Plain ASCII: no overstriking for bold or underlining, no escape sequences.
  execute_process(COMMAND ${TOOL} -man -T ascii -P -cbou ${INPUT}
    OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(NOT failed)
    write_crlf("${text}")
  endif()
elseif(MODE STREQUAL "crlf")
  file(READ ${INPUT} text)
  write_crlf("${text}")
else()
  message(FATAL_ERROR "unknown mode ${MODE}")
endif()
if(failed)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "${MODE} of ${INPUT} failed: ${failed}")
endif()
