# What `cmake --install` and the Debian package put where (GNUInstallDirs,
# so CMAKE_INSTALL_PREFIX and DESTDIR apply), the CMake package and the
# pkg-config file for hosts, and CPack.
include(CMakePackageConfigHelpers)

set(_cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/kelmora)

# The library and its public interface. Hosts link kelmora::kelmora.
add_library(kelmora::kelmora ALIAS kelmora)
install(TARGETS kelmora EXPORT kelmoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kelmora DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Front ends the library loads at run time, when this build has them.
foreach(_front_end kelmora_qtui)
  if(TARGET ${_front_end})
    install(TARGETS ${_front_end} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()

# Every program declared with kelmora_tool, and its manual page.
get_property(_programs GLOBAL PROPERTY KELMORA_PROGRAMS)
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(_program IN LISTS _programs)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/${_program}.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)
endforeach()

# Bash completion (loaded on demand by bash-completion) and the manual page of
# the machine's settings file, /etc/kelmora/settings.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/share/bash-completion/completions/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/kelmora-settings.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# The help pages, which the build copies into share/kelmora/help.
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/kelmora/help/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kelmora/help OPTIONAL)

# find_package(kelmora CONFIG)
install(EXPORT kelmoraTargets NAMESPACE kelmora:: DESTINATION ${_cmake_package_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kelmoraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kelmoraConfig.cmake INSTALL_DESTINATION ${_cmake_package_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kelmoraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kelmoraConfig.cmake ${CMAKE_BINARY_DIR}/kelmoraConfigVersion.cmake
  DESTINATION ${_cmake_package_dir})

# pkg-config --cflags --libs kelmora; folders below the prefix stay relative
# to it, so PKG_CONFIG_SYSROOT_DIR and --define-variable=prefix work.
foreach(_dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${_dir}})
    set(KELMORA_PC_${_dir} ${CMAKE_INSTALL_${_dir}})
  else()
    set(KELMORA_PC_${_dir} "\${prefix}/${CMAKE_INSTALL_${_dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelmora.pc.in ${CMAKE_BINARY_DIR}/kelmora.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kelmora.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# scripts/package: one Debian package with the library, the programs and the
# development files. Its dependencies are the shared libraries it links, as
# dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelmora)
set(CPACK_PACKAGE_VENDOR "Kelmora")
set(CPACK_PACKAGE_CONTACT "Kelmora maintainers <kelmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "View Profile module: automation library and tools")
set(CPACK_PACKAGE_DESCRIPTION "The View Profile automation object (libkelmora.so, ProgID \
KELMORA.VIEWPROFILE), its host viewprofile, the tree editor vptree, the client admin tool \
stavetool and the sibling programs, with manual pages, headers, a CMake package and a \
pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
