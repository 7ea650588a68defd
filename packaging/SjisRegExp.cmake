# SjisRegExp for other programs (component Development): its one public header,
# include/SjisRegExp/SjisRegExp.h, which needs only the standard library; the static library;
# the CMake package (find_package(SjisRegExp) gives SjisRegExp::SjisRegExp) with its version
# file; and sjisregexp.pc for pkg-config.
include(CMakePackageConfigHelpers)

set(SJISREGEXP_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/SjisRegExp)

install(FILES ${PROJECT_SOURCE_DIR}/src/SjisRegExp/SjisRegExp.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/SjisRegExp COMPONENT Development)
install(TARGETS SjisRegExp EXPORT SjisRegExpTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT SjisRegExpTargets NAMESPACE SjisRegExp::
        DESTINATION ${SJISREGEXP_CMAKE_DIR} COMPONENT Development)

configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/SjisRegExpConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/SjisRegExpConfig.cmake
  INSTALL_DESTINATION ${SJISREGEXP_CMAKE_DIR})
# Before 1.0 a minor release may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SjisRegExpConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SjisRegExpConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/SjisRegExpConfigVersion.cmake
        DESTINATION ${SJISREGEXP_CMAKE_DIR} COMPONENT Development)

# The .pc file finds its prefix from its own place (${pcfiledir}), so that one file serves
# whatever prefix `cmake --install --prefix` is given.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "sjisregexp.pc needs CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR "
                      "relative to the prefix")
endif()
file(RELATIVE_PATH SJISREGEXP_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" SJISREGEXP_PC_TO_PREFIX "${SJISREGEXP_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/sjisregexp.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/sjisregexp.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sjisregexp.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
