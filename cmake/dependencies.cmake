# Every library and tool the build needs is looked for here, when the build is configured, so that
# a missing one stops the configure step with its Debian package's name instead of a compiler
# error half-way through the build.
#
#   dependency(<what> DEBIAN <package> [FOR_TESTS] <how>)
#
# <what> is the name a person knows it by, <package> the Debian package that brings it (it must
# be in ./setup's list, which installs it). FOR_TESTS: needed only when BUILD_TESTING is on.
# <how> is one of:
#   FIND_PACKAGE <name> [find_package arguments]  e.g. FIND_PACKAGE CLI11 CONFIG
#   PROGRAM <variable> <names...>                 the program's path is put in <variable>
#   HEADER <variable> <header>                    the header's include directory in <variable>
#   PKG_CONFIG <prefix> <module>                  pkg_check_modules: the target PkgConfig::<prefix>
#   FILE <variable> <paths...>                    the first of the paths that exists
# Results are set in the caller's scope, as find_package and friends set them. Call it in the
# block of dependencies at the top of CMakeLists.txt, before dependencies_report(), which stops
# the configure step listing every one that is missing; a dependency() after the report stops
# it at once.

file(READ ${CMAKE_CURRENT_LIST_DIR}/../setup _dependency_setup_script)

macro(dependency _dep_what)
  cmake_parse_arguments(_dep "FOR_TESTS" "DEBIAN" "FIND_PACKAGE;PROGRAM;HEADER;PKG_CONFIG;FILE"
    ${ARGN})
  if(_dep_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "dependency(${_dep_what}): unexpected ${_dep_UNPARSED_ARGUMENTS} (a name of "
      "several words goes in quotes)")
  endif()
  if(NOT _dep_DEBIAN)
    message(FATAL_ERROR "dependency(${_dep_what}): no DEBIAN package named")
  endif()
  string(FIND "${_dependency_setup_script}" "\n    ${_dep_DEBIAN} " _dep_listed)
  if(_dep_listed EQUAL -1)
    string(FIND "${_dependency_setup_script}" "\n    ${_dep_DEBIAN}\n" _dep_listed)
  endif()
  if(_dep_listed EQUAL -1)
    message(FATAL_ERROR "dependency(${_dep_what}): ${_dep_DEBIAN} is not in ./setup's list; add it there")
  endif()
  set(_dep_found TRUE)
  if(_dep_FOR_TESTS AND DEFINED BUILD_TESTING AND NOT BUILD_TESTING)
    # Not needed: nothing looked for.
  elseif(_dep_FIND_PACKAGE)
    list(GET _dep_FIND_PACKAGE 0 _dep_name)
    find_package(${_dep_FIND_PACKAGE} QUIET)
    string(TOUPPER ${_dep_name} _dep_upper)
    if(NOT ${_dep_name}_FOUND AND NOT ${_dep_upper}_FOUND)
      set(_dep_found FALSE)
    endif()
  elseif(_dep_PROGRAM)
    list(POP_FRONT _dep_PROGRAM _dep_var)
    find_program(${_dep_var} NAMES ${_dep_PROGRAM})
    set(_dep_found ${${_dep_var}})
  elseif(_dep_HEADER)
    list(GET _dep_HEADER 0 _dep_var)
    list(GET _dep_HEADER 1 _dep_header)
    find_path(${_dep_var} ${_dep_header})
    set(_dep_found ${${_dep_var}})
  elseif(_dep_PKG_CONFIG)
    list(GET _dep_PKG_CONFIG 0 _dep_prefix)
    list(GET _dep_PKG_CONFIG 1 _dep_module)
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_check_modules(${_dep_prefix} QUIET IMPORTED_TARGET ${_dep_module})
      set(_dep_found ${${_dep_prefix}_FOUND})
    else()
      # Without pkg-config the library cannot be told from absent: both are named.
      set(_dep_found FALSE)
      set(_dep_DEBIAN "pkg-config ${_dep_DEBIAN}")
    endif()
  elseif(_dep_FILE)
    list(POP_FRONT _dep_FILE _dep_var)
    set(_dep_found FALSE)
    foreach(_dep_path ${_dep_FILE})
      if(NOT _dep_found AND EXISTS "${_dep_path}")
        set(_dep_found TRUE)
        set(${_dep_var} ${_dep_path})
      endif()
    endforeach()
  else()
    message(FATAL_ERROR "dependency(${_dep_what}): say how to find it (FIND_PACKAGE, PROGRAM, ...)")
  endif()
  if(NOT _dep_found)
    if(_dep_DEBIAN MATCHES " ")
      set(_dep_line "${_dep_what}: the Debian packages ${_dep_DEBIAN}")
    else()
      set(_dep_line "${_dep_what}: the Debian package ${_dep_DEBIAN}")
    endif()
    string(REPLACE " " ";" _dep_DEBIAN "${_dep_DEBIAN}")
    get_property(_dep_reported GLOBAL PROPERTY DEPENDENCIES_REPORTED)
    if(_dep_reported)
      message(FATAL_ERROR "missing dependency; ./setup installs every missing package:\n"
        "  ${_dep_line}")
    endif()
    set_property(GLOBAL APPEND PROPERTY DEPENDENCIES_MISSING "${_dep_line}")
    set_property(GLOBAL APPEND PROPERTY DEPENDENCIES_MISSING_PACKAGES ${_dep_DEBIAN})
  endif()
endmacro()

function(dependencies_report)
  set_property(GLOBAL PROPERTY DEPENDENCIES_REPORTED TRUE)
  get_property(missing GLOBAL PROPERTY DEPENDENCIES_MISSING)
  if(missing)
    get_property(packages GLOBAL PROPERTY DEPENDENCIES_MISSING_PACKAGES)
    list(REMOVE_DUPLICATES packages)
    list(JOIN missing "\n  " lines)
    list(JOIN packages " " packages)
    message(FATAL_ERROR "missing dependencies; ./setup installs every missing package:\n"
      "  ${lines}\n  (apt-get install ${packages})")
  endif()
endfunction()
