# cmake --install: the library with its public headers (its file set), the platform's headers, the
# simulated platform's libraries, tcagent, and a package config for
# find_package(BfIngressTrafficClass CONFIG).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(packageDirectory ${CMAKE_INSTALL_LIBDIR}/cmake/BfIngressTrafficClass)

install(TARGETS BfIngressTrafficClass kiv agentplatform simsupport chipmodel bfrtsim
        EXPORT BfIngressTrafficClassTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS simdriver_pd simdriver_bfrt LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS tcagent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/tools/tcagent/tcagent.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES tools/tcagent/share/tcagent.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tcagent)
install(DIRECTORY platform/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/platform
        FILES_MATCHING PATTERN "*.h")
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/dscp-policy.txt DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

install(EXPORT BfIngressTrafficClassTargets NAMESPACE BfIngressTrafficClass::
        DESTINATION ${packageDirectory})
configure_package_config_file(cmake/BfIngressTrafficClassConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/BfIngressTrafficClassConfig.cmake
                              INSTALL_DESTINATION ${packageDirectory})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/BfIngressTrafficClassConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/BfIngressTrafficClassConfig.cmake
              ${PROJECT_BINARY_DIR}/BfIngressTrafficClassConfigVersion.cmake
        DESTINATION ${packageDirectory})
