# ctest desktop_install: installs the build into a scratch prefix and checks it as a desktop would.
# Run with -DBUILD_DIR= -DSOURCE_DIR= -DPREFIX=.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE failed
                OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
execute_process(COMMAND ${SOURCE_DIR}/scripts/check-install ${PREFIX} RESULT_VARIABLE failed)
file(REMOVE_RECURSE ${PREFIX})
if(failed)
  message(FATAL_ERROR "the installed tree fails the desktop checks")
endif()
