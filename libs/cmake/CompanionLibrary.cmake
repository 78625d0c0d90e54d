# zendral_companion_library(<name> PACKAGE <CMakePackageName> SOURCES ... [LIBS ...]
#                            [PKG_REQUIRES "<pkg-config modules>"])
# Builds lib<name>.so with SONAME lib<name>.so.1 and installs it with its header
# include/zendral/<name>.h, <name>.pc and the CMake package <Package> (target Zendral::<name>).
set(ZENDRAL_COMPANION_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(zendral_companion_library name)
  cmake_parse_arguments(ARG "" "PACKAGE;PKG_REQUIRES;DESCRIPTION" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  add_library(Zendral::${name} ALIAS ${name})
  set_target_properties(${name} PROPERTIES VERSION 1.0.0 SOVERSION 1
                                           CXX_VISIBILITY_PRESET hidden
                                           VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/libs/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_features(${name} PUBLIC cxx_std_20)

  install(TARGETS ${name} EXPORT ${ARG_PACKAGE}Targets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${name}
                  NAMELINK_COMPONENT companion-dev)
  install(FILES ${PROJECT_SOURCE_DIR}/libs/include/zendral/${name}.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zendral COMPONENT companion-dev)

  # The .pc file finds its prefix from its own folder, so an unpacked or relocated tree works.
  file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  set(PC_NAME ${name})
  set(PC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(PC_REQUIRES "${ARG_PKG_REQUIRES}")
  configure_file(${ZENDRAL_COMPANION_CMAKE_DIR}/companion.pc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT companion-dev)

  set(PKG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_PACKAGE})
  install(EXPORT ${ARG_PACKAGE}Targets NAMESPACE Zendral:: DESTINATION ${PKG_DIR}
          COMPONENT companion-dev)
  set(PACKAGE_TARGETS_FILE ${ARG_PACKAGE}Targets.cmake)
  configure_file(${ZENDRAL_COMPANION_CMAKE_DIR}/CompanionConfig.cmake.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}Config.cmake @ONLY)
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}ConfigVersion.cmake
                                   VERSION 1.0.0 COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}Config.cmake
                ${CMAKE_CURRENT_BINARY_DIR}/${ARG_PACKAGE}ConfigVersion.cmake
          DESTINATION ${PKG_DIR} COMPONENT companion-dev)
endfunction()
