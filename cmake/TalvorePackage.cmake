# cpack -G DEB: one package with both programs; its dependencies come from
# dpkg-shlibdeps, so they follow the libraries actually linked.
set(CPACK_PACKAGE_NAME talvore)
set(CPACK_PACKAGE_VENDOR "The Talvore developers")
set(CPACK_PACKAGE_CONTACT "The Talvore developers <talvore@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Save the images inside PDF files as image files")
set(CPACK_PACKAGE_DESCRIPTION
  "Talvore pulls every raster image out of PDF files and saves it as an image file, in a desktop window or with the talvore-extract command.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/talvore/talvore")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)

# The package test builds the .deb from this build and checks its files.
if(TALVORE_BUILD_TESTS)
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(DPKG_DEB dpkg-deb)
  if(DPKG_SHLIBDEPS AND DPKG_DEB)
    add_test(NAME deb_package
      COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DCPACK=${CMAKE_CPACK_COMMAND}
        -DDPKG_DEB=${DPKG_DEB} -DGUI=${TALVORE_BUILD_GUI} -DDOCDIR=${CMAKE_INSTALL_DOCDIR}
        -P ${PROJECT_SOURCE_DIR}/tests/package/CheckDebPackage.cmake)
    set_tests_properties(deb_package PROPERTIES LABELS package TIMEOUT 300)
  else()
    message(STATUS "dpkg-shlibdeps or dpkg-deb missing: the package test is left out")
  endif()
endif()
