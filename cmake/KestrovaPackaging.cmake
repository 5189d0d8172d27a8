# What a desktop user gets beside the programs, and the Debian packages:
#   kestrova       the window, the command-line tools, the emulated board,
#                  the shipped data, the user's guide, man pages, menu entry
#   libdravik0     the device library and the boards' udev rule
#   libdravik-dev  its header, pkg-config file and CMake package
# `cpack -G DEB` in the build folder writes the three packages.

install(FILES ${CMAKE_SOURCE_DIR}/packaging/kestrova.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kestrova.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)

# The user's guide, which Help > Manual opens by default.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrova/guide
  COMPONENT program)

# Man pages from each program's own --help, with the sections --help lacks
# (packaging/man/*.h2m). Not in the sanitizer or fuzzing builds, whose
# programs are not for running at build time.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(man_programs dravik-cli kestrova-cli)
if(TARGET kestrova)
  list(APPEND man_programs kestrova)
endif()
if(HELP2MAN AND GZIP AND NOT KESTROVA_SANITIZE AND NOT KESTROVA_BUILD_FUZZ)
  set(man_pages)
  foreach(program IN LISTS man_programs)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    # Run by name from the build's bin folder, so the usage line says
    # "kestrova", not the build path.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}
              QT_QPA_PLATFORM=offscreen SOURCE_DATE_EPOCH=1796644800
              ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
              --include=${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m
              --include=${CMAKE_SOURCE_DIR}/packaging/man/environment.h2m
              --output=${page} ${program}
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m
              ${CMAKE_SOURCE_DIR}/packaging/man/environment.h2m
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
else()
  message(STATUS "Man pages: not built (help2man missing, or a sanitizer/fuzzing build)")
endif()

# Each package's copyright and changelog, as Debian keeps them.
set(packages kestrova libdravik0 libdravik-dev)
set(components program library development)
foreach(package component IN ZIP_LISTS packages components)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
if(GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP} -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
  add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  foreach(package component IN ZIP_LISTS packages components)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VENDOR "Kestrova developers")
set(CPACK_PACKAGE_CONTACT "Kestrova developers <kestrova@users.noreply.kestrova.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program library development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libdravik0's shlibs file (the emulator plugin, without a soname, gets none).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# dravik-cli and the emulator link libdravik.so.0 of the libdravik0 package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(library_dependency "libdravik0 (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME kestrova)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS ${library_dependency})
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
  "evaluate digital temperature-sensor chips\n\
Kestrova shows the registers of a temperature-sensor chip as a panel of bit\n\
fields laid out by the chip's part definition file, reads and writes them\n\
through a USB evaluation board, an SMBus/I2C adapter or an emulated board,\n\
logs continuous reads and plots them. kestrova-cli does the same from the\n\
shell, dravik-cli reaches any register at any bus address.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libdravik0)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm
  ${CMAKE_SOURCE_DIR}/packaging/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
  "Kestrova device library\n\
libdravik reaches temperature-sensor chips through a USB evaluation board\n\
(libusb) or an SMBus/I2C adapter (Linux i2c-dev), with five C functions.\n\
The package also holds the udev rule that lets the logged-in user open the\n\
evaluation boards.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdravik-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS ${library_dependency})
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "Kestrova device library: development files\n\
The header <dravik/dravik.h>, the pkg-config file dravik.pc and the CMake\n\
package dravik (target dravik::dravik) for programs using libdravik.")

include(CPack)
