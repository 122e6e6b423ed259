# What `cmake --install` (and so the Debian packages of debian/) put where:
# GNUInstallDirs, so CMAKE_INSTALL_PREFIX and DESTDIR apply; the CMake package
# and the pkg-config file for hosts.
include(CMakePackageConfigHelpers)

set(_cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/kelmora)

# The library and its public interface. Hosts link kelmora::kelmora.
add_library(kelmora::kelmora ALIAS kelmora)
install(TARGETS kelmora EXPORT kelmoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kelmora DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Front ends the library loads at run time, when this build has them: private
# modules in the folder kelmora/ beside the library.
foreach(_front_end kelmora_qtui)
  if(TARGET ${_front_end})
    install(TARGETS ${_front_end} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kelmora)
  endif()
endforeach()

# Every program declared with kelmora_tool, and its manual page. The pages
# name the docs as docs/NAME.md, which is true in a checkout; installed, they
# name the installed docs.
get_property(_programs GLOBAL PROPERTY KELMORA_PROGRAMS)
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(_program IN LISTS _programs)
  set(_page ${CMAKE_SOURCE_DIR}/docs/man/${_program}.1)
  if(EXISTS ${_page})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_page})
    file(READ ${_page} _text)
    string(REGEX REPLACE "docs/([A-Za-z0-9_-]+\\.md)" "${CMAKE_INSTALL_FULL_DOCDIR}/docs/\\1"
      _text "${_text}")
    file(WRITE ${CMAKE_BINARY_DIR}/man/man1/${_program}.1 "${_text}")
    install(FILES ${CMAKE_BINARY_DIR}/man/man1/${_program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

# The docs the manual pages and the README point at, laid out as in a checkout.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
  FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN man EXCLUDE)

# Bash completion and the machine-wide settings, when the source has them.
if(EXISTS ${CMAKE_SOURCE_DIR}/share/bash-completion/completions)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/share/bash-completion/completions/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/etc/kelmora)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/etc/kelmora/ DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/kelmora)
endif()
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
