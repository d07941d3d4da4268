# Installing Brindlework like any Unix package, and the Debian package made
# from the same rules (make install, make package; README.md, "Installing").
#
#   bin/brindle                           the page engine
#   lib/libbrindlework.so.2.1.7           the module; SONAME libbrindlework.so.2,
#   lib/libbrindlework.so.2, .so            with the usual two links
#   include/brindlework/module.h          the host interface
#   lib/pkgconfig/brindlework.pc          pkg-config
#   lib/cmake/Brindlework/                find_package(Brindlework), giving
#                                           the target Brindlework::brindlework
#   share/man/man1/brindle.1, man7/brindle-pages.7
#   share/doc/brindlework/                README, the guides, example host,
#                                           systemd unit and configuration
#   share/brindlework/site/               the demo site
#
# The installed brindle finds the installed module through the path from its
# own folder to the library folder, fixed here at configure time
# (BRINDLE_INSTALLED_MODULE), so a tree moved whole, or unpacked under
# another root, still works.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRINDLE_VERSION 2.1.7)
set(BRINDLE_SOVERSION 2)

set_target_properties(brindlework PROPERTIES VERSION ${BRINDLE_VERSION} SOVERSION ${BRINDLE_SOVERSION})
target_include_directories(brindlework INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS brindlework EXPORT BrindleworkTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/brindlework/module.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brindlework)

if(TARGET brindle)
  install(TARGETS brindle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  file(RELATIVE_PATH module_from_bin "/prefix/${CMAKE_INSTALL_BINDIR}"
       "/prefix/${CMAKE_INSTALL_LIBDIR}/libbrindlework.so.${BRINDLE_SOVERSION}")
  target_compile_definitions(brindle_engine PRIVATE BRINDLE_INSTALLED_MODULE="${module_from_bin}")
endif()

install(FILES ${CMAKE_SOURCE_DIR}/docs/man/brindle.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/brindle-pages.7 DESTINATION ${CMAKE_INSTALL_MANDIR}/man7)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/page-language.md
              ${CMAKE_SOURCE_DIR}/docs/windows-host.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/host ${CMAKE_SOURCE_DIR}/examples/systemd
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/site DESTINATION ${CMAKE_INSTALL_DATADIR}/brindlework)

# pkg-config: the prefix is taken from where the .pc file lies, so that a tree
# installed with DESTDIR or moved elsewhere still describes itself.
file(RELATIVE_PATH BRINDLE_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${CMAKE_SOURCE_DIR}/cmake/brindlework.pc.in ${CMAKE_BINARY_DIR}/brindlework.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/brindlework.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The CMake package.
set(BRINDLE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brindlework)
install(EXPORT BrindleworkTargets NAMESPACE Brindlework:: DESTINATION ${BRINDLE_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/BrindleworkConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/BrindleworkConfig.cmake
                              INSTALL_DESTINATION ${BRINDLE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/BrindleworkConfigVersion.cmake
                                 VERSION ${BRINDLE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/BrindleworkConfig.cmake
              ${CMAKE_BINARY_DIR}/BrindleworkConfigVersion.cmake
        DESTINATION ${BRINDLE_CMAKE_DIR})

# The Debian package (make package): everything above, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlework)
set(CPACK_PACKAGE_VERSION ${BRINDLE_VERSION})
set(CPACK_PACKAGE_VENDOR "Orrindale Software, Inc.")
set(CPACK_PACKAGE_CONTACT "Brindlework maintainers <brindlework@orrindale-software.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tag module for server-side pages, and the brindle page engine")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
