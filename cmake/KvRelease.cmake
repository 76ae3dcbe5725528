# Release settings of the Windows build: output that does not depend on the
# build folder or the clock, the version resource, stripping, the size report
# and Authenticode signing.
#
# Included once from the top level, before any target, so that the path maps
# and the fixed link time reach every program, the sample programs inside the
# payload included. kv_release_program(target) then makes a program a release
# program (kvsetup.exe).
if(NOT WIN32)
  return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KV_VERSION "" CACHE STRING
  "Version stamped into kvsetup.exe, N.N.N or N.N.N.N; empty: the payload's version.data")
set(KV_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}" CACHE STRING
  "Seconds since 1970 written as the executables' link time; empty: 0 (none)")
set(KV_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and key; empty: no signing")
set(KV_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the PKCS#12 file's password")
set(KV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server for the signature; empty: none")

set(version_form "N.N.N or N.N.N.N (each N a number from 0 to 65535)")
if(NOT KV_VERSION STREQUAL "")
  set(version_ok FALSE)
  if(KV_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+(\\.[0-9]+)?$")
    set(version_ok TRUE)
    string(REPLACE "." ";" parts "${KV_VERSION}")
    foreach(n IN LISTS parts)
      string(LENGTH "${n}" digits)
      if(digits GREATER 5 OR n GREATER 65535)
        set(version_ok FALSE)
      endif()
    endforeach()
  endif()
  if(NOT version_ok)
    message(FATAL_ERROR "KV_VERSION is \"${KV_VERSION}\", which is not a version of the form ${version_form}.")
  endif()
endif()

if(KV_SOURCE_DATE_EPOCH STREQUAL "")
  set(link_time 0)
elseif(KV_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" AND KV_SOURCE_DATE_EPOCH LESS 4294967296)
  set(link_time ${KV_SOURCE_DATE_EPOCH})
else()
  message(FATAL_ERROR "KV_SOURCE_DATE_EPOCH (or SOURCE_DATE_EPOCH) is \"${KV_SOURCE_DATE_EPOCH}\": "
                      "it must be a number of seconds since 1970 below 2^32.")
endif()

if(KV_SIGN_PKCS12)
  find_program(KV_OSSLSIGNCODE osslsigncode)
  if(NOT KV_OSSLSIGNCODE)
    message(FATAL_ERROR "KV_SIGN_PKCS12 is set but osslsigncode is not installed (Debian package osslsigncode).")
  endif()
  if(NOT EXISTS "${KV_SIGN_PKCS12}")
    message(FATAL_ERROR "KV_SIGN_PKCS12: no file ${KV_SIGN_PKCS12}")
  endif()
  if(NOT KV_SIGN_PASSWORD_FILE OR NOT EXISTS "${KV_SIGN_PASSWORD_FILE}")
    message(FATAL_ERROR "KV_SIGN_PKCS12 needs KV_SIGN_PASSWORD_FILE, a file holding the password "
                        "(\"${KV_SIGN_PASSWORD_FILE}\" does not exist); the password never goes on a command line.")
  endif()
endif()

# No build path in any object: __FILE__ and whatever else the compiler
# records name files relative to the source or build folder. The build
# folder may lie inside the source folder, so its map comes last and wins.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${KV_ROOT}/=>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/>")

# The linker writes the PE time stamp from SOURCE_DATE_EPOCH when that is set;
# setting it on every link makes the stamp fixed instead of the clock's.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${link_time})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${link_time})

set(KV_RELEASE_TOOLS ${CMAKE_CURRENT_LIST_DIR}/../tools/release)

# kv_write_if_changed(file text): a generated file touched only when its
# text changes, so that configuring again rebuilds nothing.
function(kv_write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

# kv_release_program(target [RESOURCES script...] [DEPENDS file...]): strip
# the symbols, drop the sections nothing refers to (GUIDs of libuuid, say),
# add the version resource, sign when asked (after the payload was checked,
# since the program links the checked payload), and report the sizes.
#
# The resource scripts (and the version resource's) are compiled as one, a
# script that includes them all, into the program's only resource object,
# ${target}_res; DEPENDS names the files they read. ld takes about twice the
# resource section's size in memory to link the resources of one object and
# four times to merge those of several: with a payload of a gigabyte, the
# build's peak. The caller gives ${target}_res the include folders and
# target dependencies the scripts need.
function(kv_release_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "RESOURCES;DEPENDS")
  target_link_options(${target} PRIVATE -s "LINKER:--gc-sections" "LINKER:-Map=$<TARGET_FILE:${target}>.map")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # No unwinder in the 32-bit build (app/runtime.cpp): its unwind tables go.
    target_link_options(${target} PRIVATE "LINKER:-T,${KV_ROOT}/cmake/no-unwind-tables.ld")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KV_ROOT}/cmake/no-unwind-tables.ld)
  endif()

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  set(template ${KV_ROOT}/kv_Install/res/version.rc.in)
  set(payload ${CMAKE_BINARY_DIR}/payload/payload.zip)
  if(KV_VERSION STREQUAL "")
    set(source --payload ${payload})
    set(source_files ${payload} ${CMAKE_BINARY_DIR}/payload/payload.checked)
    set(comment "Taking the version of ${target} from the payload's version.data")
  else()
    set(source --version ${KV_VERSION})
    set(source_files)
    set(comment "Stamping version ${KV_VERSION} into ${target}")
  endif()
  add_custom_command(
    OUTPUT ${rc}
    COMMAND Python3::Interpreter ${KV_RELEASE_TOOLS}/version_rc.py ${template} ${rc} ${source}
    DEPENDS ${KV_RELEASE_TOOLS}/version_rc.py ${template} ${source_files}
    COMMENT "${comment}"
    VERBATIM)
  add_custom_target(${target}_version_rc DEPENDS ${rc})
  if(KV_VERSION STREQUAL "")
    add_dependencies(${target}_version_rc kv_payload_checked)
  endif()
  set(all ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  set(text "// The resources of ${target}, in one object (see kv_release_program).\n")
  foreach(script ${arg_RESOURCES} ${rc})
    string(APPEND text "#include \"${script}\"\n")
  endforeach()
  kv_write_if_changed(${all} "${text}")
  add_library(${target}_res OBJECT ${all})
  set_source_files_properties(${all} PROPERTIES OBJECT_DEPENDS "${arg_RESOURCES};${rc};${arg_DEPENDS}")
  add_dependencies(${target}_res ${target}_version_rc)
  target_link_libraries(${target} PRIVATE ${target}_res)

  if(KV_SIGN_PKCS12)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND Python3::Interpreter ${KV_RELEASE_TOOLS}/sign.py ${KV_OSSLSIGNCODE} $<TARGET_FILE:${target}>
              ${KV_SIGN_PKCS12} ${KV_SIGN_PASSWORD_FILE} "${KV_SIGN_TIMESTAMP_URL}"
      VERBATIM)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND Python3::Interpreter ${KV_RELEASE_TOOLS}/size_report.py $<TARGET_FILE:${target}> --map $<TARGET_FILE:${target}>.map
    VERBATIM)
endfunction()
