# A Linux release is built with the hardening Debian's own packages get, asked of dpkg-buildflags
# itself so that it stays what Debian uses: stack protector, _FORTIFY_SOURCE, format checks and a
# read-only relocation table bound at start (-z relro, -z now); Debian's compiler makes PIE by
# itself. Debian's -g -O2 are left out: the build type chooses optimisation and debug information.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

function(dpkg_buildflag flag out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            DEB_CXXFLAGS_MAINT_STRIP=-g\ -O2 ${DPKG_BUILDFLAGS} --get ${flag}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE value
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(value UNIX_COMMAND "${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

dpkg_buildflag(CPPFLAGS hardening_cppflags)
dpkg_buildflag(CXXFLAGS hardening_cxxflags)
dpkg_buildflag(LDFLAGS hardening_ldflags)
add_compile_options(${hardening_cppflags} ${hardening_cxxflags})
add_link_options(${hardening_ldflags})
list(JOIN hardening_cppflags " " hardening_cppflags_text)
list(JOIN hardening_cxxflags " " hardening_cxxflags_text)
list(JOIN hardening_ldflags " " hardening_ldflags_text)
message(STATUS "Hardened release: ${hardening_cppflags_text} ${hardening_cxxflags_text}, "
               "linked with ${hardening_ldflags_text}")
