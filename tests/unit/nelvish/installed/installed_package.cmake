# Installs Nelvish from the build tree into a fresh prefix, builds a user's program with the
# flags pkg-config gives for the installed package, and runs it against the installed library.
# Expects BUILD_DIR, WORK_DIR, LIBDIR, SOURCE, CXX and EXTRA_FLAGS (sanitizer flags, may be "").
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

foreach(component nelvish companion-dev)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component ${component})
endforeach()

foreach(installed include/zendral/com.h include/zendral/nelvish.h ${LIBDIR}/libnelvish.so.1
                  ${LIBDIR}/cmake/Nelvish/NelvishConfig.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig
    pkg-config --cflags --libs nelvish)
string(STRIP "${run_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CXX} ${extra} ${SOURCE} ${flags} -o ${WORK_DIR}/consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR}
    ${WORK_DIR}/consumer ${WORK_DIR}/saved.xml)
message(STATUS "${run_output}")
