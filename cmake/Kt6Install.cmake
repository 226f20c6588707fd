# The version and the installed layout, in one place for the install rules, the package and
# the programs: both executables print the version, and the console finds its installed
# manuals relative to its own folder, so an unpacked or relocated tree works like /usr.
include(GNUInstallDirs)
set(KT6_PACKAGE_NAME skarnel-kt6)
set(KT6_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${KT6_PACKAGE_NAME})
file(RELATIVE_PATH KT6_DOCDIR_FROM_BINDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${KT6_INSTALL_DOCDIR})

# Installing needs only the programs and the files the package holds, which scripts/package
# builds by name; without this, CPack would first build every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

configure_file(${CMAKE_CURRENT_LIST_DIR}/kt6_build_info.h.in
               ${PROJECT_BINARY_DIR}/generated/kt6_build_info.h @ONLY)
add_library(kt6buildinfo INTERFACE)
target_include_directories(kt6buildinfo INTERFACE ${PROJECT_BINARY_DIR}/generated)

# The Release build is what the package ships: harden it as Debian hardens its own packages.
# PE executables have no RELRO; the Windows build is not packaged.
if(KT6_SANITIZE STREQUAL "OFF" AND NOT WIN32)
  add_compile_options("$<$<CONFIG:Release>:-D_FORTIFY_SOURCE=2;-fstack-protector-strong>")
  add_link_options("$<$<CONFIG:Release>:LINKER:-z,relro,-z,now>")
endif()
