# Builds the .deb of the build in BUILD_DIR into a scratch folder and checks
# that it holds every file a user needs and that shlibdeps filled Depends.
set(work ${BUILD_DIR}/package-test)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
execute_process(COMMAND ${CPACK} -G DEB -B ${work} --config ${BUILD_DIR}/CPackConfig.cmake
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(GLOB debs ${work}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${work}, found: ${debs}")
endif()
execute_process(COMMAND ${DPKG_DEB} -c ${debs} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
execute_process(COMMAND ${DPKG_DEB} -f ${debs} Depends OUTPUT_VARIABLE depends)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -c failed")
endif()

set(expected
  ./usr/bin/talvore-extract
  ./usr/share/man/man1/talvore-extract.1
  ./usr/share/bash-completion/completions/talvore-extract
  ./usr/${DOCDIR}/LICENSE)
if(GUI)
  list(APPEND expected
    ./usr/bin/talvore
    ./usr/share/man/man1/talvore.1
    ./usr/share/metainfo/io.github.talvore.Talvore.metainfo.xml
    ./usr/share/applications/io.github.talvore.Talvore.desktop
    ./usr/share/icons/hicolor/scalable/apps/talvore.svg
    ./usr/share/talvore/manual.html
    ./usr/share/talvore/tips.txt)
endif()
set(missing "")
foreach(path ${expected})
  string(FIND "${listing}" " ${path}\n" at)
  if(at EQUAL -1)
    list(APPEND missing ${path})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "missing from the package: ${missing}\nlisting:\n${listing}")
endif()
if(NOT depends MATCHES "libpoppler")
  message(FATAL_ERROR "Depends does not name the PDF core library: '${depends}'")
endif()
message(STATUS "package ${debs}: every file present; Depends: ${depends}")
